# Builds the fuzz targets' seed corpora from database definitions (the
# samples and fuzz/seeds), the regression fixtures of hostile files, and,
# when given, a folder of files the tests left (TEST_FILES):
#   OUT/files        whole tsq files       fuzz_layout, fuzz_open, fuzz_tsq
#   OUT/data         their data areas      fuzz_records
#   OUT/definitions  JSON definitions      fuzz_definition
#   OUT/csv          CSV as tsq export writes it, and fuzz/seeds' CSV   fuzz_import
# Run as: cmake -DTSQ=<tsq> -DOUT=<folder> -DDEFINITIONS=<a.json;b.json>
#               -DFIXTURES=<folder> [-DCSV=<a.csv;b.csv>] [-DTEST_FILES=<folder>]
#               -P seed_corpus.cmake
foreach(required TSQ OUT DEFINITIONS)
  if(NOT ${required})
    message(FATAL_ERROR "seed_corpus.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/files ${OUT}/data ${OUT}/definitions ${OUT}/csv ${OUT}/work)

# Copies the data area of a tsq file (from dataBase on) as a seed.
function(add_data_area file dataBase name)
  math(EXPR from "${dataBase} + 1")
  execute_process(COMMAND tail -c +${from} ${file} OUTPUT_FILE ${OUT}/data/${name} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not cut the data area of ${file}")
  endif()
endfunction()

set(dataHeaderSize 28)
foreach(definition ${DEFINITIONS})
  get_filename_component(name ${definition} NAME_WE)
  file(COPY ${definition} DESTINATION ${OUT}/definitions)
  execute_process(COMMAND ${TSQ} create ${OUT}/files/${name}.tsq ${definition} --force RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "tsq create refused ${definition}")
  endif()
  # The same definition without records or remembered texts ends right
  # after its DataHeader, which tells where the data area starts.
  file(READ ${definition} json)
  string(JSON json SET "${json}" records "[]")
  foreach(key smsNumber smsMessage)
    string(JSON json ERROR_VARIABLE absent REMOVE "${json}" ${key})
  endforeach()
  file(WRITE ${OUT}/work/${name}.json "${json}")
  execute_process(COMMAND ${TSQ} create ${OUT}/work/${name}-empty.tsq ${OUT}/work/${name}.json --force
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "tsq create refused the empty form of ${definition}")
  endif()
  file(SIZE ${OUT}/work/${name}-empty.tsq emptySize)
  math(EXPR dataBase "${emptySize} - ${dataHeaderSize}")
  add_data_area(${OUT}/files/${name}.tsq ${dataBase} ${name})
  execute_process(COMMAND ${TSQ} export ${OUT}/files/${name}.tsq ${OUT}/csv/${name}.csv --password a
                  RESULT_VARIABLE failed ERROR_QUIET)
endforeach()
foreach(csv ${CSV})
  file(COPY ${csv} DESTINATION ${OUT}/csv)
endforeach()

foreach(folder FIXTURES TEST_FILES)
  if(${folder} AND IS_DIRECTORY ${${folder}})
    file(GLOB files ${${folder}}/*)
    foreach(file ${files})
      file(COPY ${file} DESTINATION ${OUT}/files)
    endforeach()
  endif()
endforeach()
file(REMOVE_RECURSE ${OUT}/work)

file(GLOB made ${OUT}/files/* ${OUT}/data/* ${OUT}/definitions/* ${OUT}/csv/*)
list(LENGTH made count)
message(STATUS "seed corpus: ${count} files in ${OUT}")

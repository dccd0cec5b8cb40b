# Puts each table's fragments (one file per test case, in DIR/<table>/)
# together under the table's heading into DIR/<table>.md.
if(NOT DIR)
  message(FATAL_ERROR "DIR names the folder of the fragments")
endif()

set(faults_title "Faults: one file operation failing at each step in turn")
set(faults_head
  "| operation | fault | faults fired | shown once, right message | file left sound | left partial | left opens | sound and done after the operation again | after closing |"
  "|---|---|---|---|---|---|---|---|---|")
set(faults-detail_title "Faults, every run")
set(faults-detail_head
  "| operation | fault | k | shown | the file the failure left | after the operation again | after closing |"
  "|---|---|---|---|---|---|---|")
set(power-loss_title "Power loss: the file after every prefix of the operation's writes")
set(power-loss_head
  "| operation | writes | cuts | previous | new | other, sound | partial, nothing lost | data lost | does not open | torn cuts | previous | new | other, sound | partial, nothing lost | data lost | does not open |"
  "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
set(power-loss-detail_title "Power loss, every cut that leaves neither state")
set(power-loss-detail_head
  "| operation | cut | file | contents | opening |"
  "|---|---|---|---|---|")

set(journal_title "What a rollback journal would cost each operation")
set(journal_head
  "| operation | writes to the database | sectors it overwrites | journal writes (header, sectors, clearing) | flushes |"
  "|---|---|---|---|---|")

set(written "")
foreach(table faults faults-detail power-loss power-loss-detail journal)
  file(GLOB fragments ${DIR}/${table}/*.md)
  if(NOT fragments)
    continue()
  endif()
  list(SORT fragments)
  string(JOIN "\n" head ${${table}_head})
  set(text "# ${${table}_title}\n\n${head}\n")
  foreach(fragment ${fragments})
    file(READ ${fragment} rows)
    string(APPEND text "${rows}")
  endforeach()
  file(WRITE ${DIR}/${table}.md "${text}")
  list(APPEND written ${DIR}/${table}.md)
endforeach()
if(NOT written)
  message(FATAL_ERROR "no fragments under ${DIR}: run the fault and power-loss tests first")
endif()
message(STATUS "tables: ${written}")

#include "views/search_button.h"

#include "records/search.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/commit.h"
#include "views/form.h"

ErrorCode runSearchButton(Database& db, const SearchData& search) {
  if (db.screen == Screen::Editing) return err::whileEditing;
  if (db.screen != Screen::FormView) return internalError();
  Store& store = db.store;
  ErrorCode code = checkCriteria(store.layout, search);
  if (code != err::ok) return code;
  if (search.criterionCount == 0 && store.records.includedCount == store.file.header.recordCount) return err::ok;
  code = commitRecord(db, 1);
  if (code != err::ok) return code;
  code = markRecords(store, search);
  if (code != err::ok) return code;
  return showRecord(db);
}

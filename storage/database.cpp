#include "storage/database.h"

#include "storage/open.h"

Database& theDatabase() {
  static Database db;
  return db;
}

void setStartupValues(Database& db) {
  const HINSTANCE instance = db.ui.instance;
  db.ui = Ui{};
  db.ui.instance = instance;
  closeFile(db.store);
  db.screen = Screen::FormView;
  db.isOpen = 0;
}

// The program's resources without the soft-key bar of the dialogs, for as
// long as the object lives: a phone on which no dialog can be set up.
#pragma once

#include <vector>

#include "platform/resource_data.h"
#include "resources/ids.h"
#include "resources/program_resources.h"
#include "resources/string_table.h"

namespace commandtest {

class WithoutDialogBar {
 public:
  WithoutDialogBar() {
    for (unsigned id : {res::listDialog, res::emailDialog, res::passwordDialog})
      if (const auto* found = platform::findDialogTemplate(id)) dialogs_.push_back(*found);
    for (unsigned id : {res::recordMenu, res::catalogueMenu})
      if (const auto* found = platform::findMenu(id)) menus_.push_back(*found);
    for (unsigned id : {res::catalogueBar, res::listBar, res::formBar, res::editBar})
      if (const auto* found = platform::findSoftKeyBar(id)) bars_.push_back(*found);
    if (const auto* found = platform::findIcon(res::appIcon)) icons_.push_back(*found);
    resources_ = platform::ResourceSet{dialogs_, menus_, bars_, icons_, res::stringTable()};
    platform::setProgramResources(&resources_);
  }
  ~WithoutDialogBar() { res::registerProgramResources(); }
  WithoutDialogBar(const WithoutDialogBar&) = delete;
  WithoutDialogBar& operator=(const WithoutDialogBar&) = delete;

 private:
  std::vector<platform::DialogTemplateData> dialogs_;
  std::vector<platform::MenuData> menus_;
  std::vector<platform::SoftKeyBarData> bars_;
  std::vector<platform::IconData> icons_;
  platform::ResourceSet resources_;
};

}  // namespace commandtest

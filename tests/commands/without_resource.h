// The program's resources without one of them (a dialog template or a
// soft-key bar) for as long as the object lives: without the dialogs' bar
// no dialog can be set up, without a template its dialog cannot be made.
#pragma once

#include <vector>

#include "platform/resource_data.h"
#include "resources/ids.h"
#include "resources/program_resources.h"
#include "resources/string_table.h"

namespace commandtest {

class WithoutResource {
 public:
  explicit WithoutResource(unsigned omitted) {
    for (unsigned id : {res::listDialog, res::emailDialog, res::passwordDialog})
      if (const auto* found = platform::findDialogTemplate(id); found != nullptr && id != omitted)
        dialogs_.push_back(*found);
    for (unsigned id : {res::recordMenu, res::catalogueMenu})
      if (const auto* found = platform::findMenu(id)) menus_.push_back(*found);
    for (unsigned id : {res::catalogueBar, res::listBar, res::formBar, res::editBar, res::dialogBar})
      if (const auto* found = platform::findSoftKeyBar(id); found != nullptr && id != omitted) bars_.push_back(*found);
    if (const auto* found = platform::findIcon(res::appIcon)) icons_.push_back(*found);
    resources_ = platform::ResourceSet{dialogs_, menus_, bars_, icons_, res::stringTable()};
    platform::setProgramResources(&resources_);
  }
  ~WithoutResource() { res::registerProgramResources(); }
  WithoutResource(const WithoutResource&) = delete;
  WithoutResource& operator=(const WithoutResource&) = delete;

 private:
  std::vector<platform::DialogTemplateData> dialogs_;
  std::vector<platform::MenuData> menus_;
  std::vector<platform::SoftKeyBarData> bars_;
  std::vector<platform::IconData> icons_;
  platform::ResourceSet resources_;
};

}  // namespace commandtest

// COM's initialisation, counted so that tests see it balanced.
#include <optional>

#include "platform/emulator.h"
#include "platform/objbase.h"

namespace {

struct Com {
  int depth = 0;
  DWORD model = COINIT_MULTITHREADED;
  int unbalanced = 0;
  std::optional<HRESULT> nextFailure;
};
Com& com() {
  static Com instance;
  return instance;
}

constexpr DWORD modelOf(DWORD coInit) { return coInit & COINIT_APARTMENTTHREADED; }

}  // namespace

namespace platform {
int comInitializeDepth() { return com().depth; }
int comUnbalancedUninitializeCount() { return com().unbalanced; }
void failNextCoInitializeEx(HRESULT result) { com().nextFailure = FAILED(result) ? result : E_FAIL; }
void resetComCounts() { com() = Com{}; }
}  // namespace platform

HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit) {
  Com& c = com();
  if (c.nextFailure) {
    const HRESULT failure = *c.nextFailure;
    c.nextFailure.reset();
    return failure;
  }
  if (reserved != nullptr) return E_INVALIDARG;
  if (c.depth > 0 && modelOf(coInit) != c.model) return RPC_E_CHANGED_MODE;
  if (c.depth == 0) c.model = modelOf(coInit);
  return c.depth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  Com& c = com();
  if (c.depth == 0) {
    ++c.unbalanced;
    return;
  }
  --c.depth;
}

// Debugger output, the last-error value and the module's file name.
#include <cstring>
#include <string>
#include <vector>

#include "platform/emulation.h"
#include "platform/internal.h"
#include "platform/kernel.h"

namespace {

struct KernelState {
  std::vector<std::string> debugOutput;
  std::string modulePath;
  std::vector<HMODULE> threadCallsDisabled;
};

KernelState& State() {
  static KernelState state;
  return state;
}

// Per thread, as on Windows.
thread_local DWORD lastError = ERROR_SUCCESS;

}  // namespace

void OutputDebugStringA(LPCSTR text) {
  // Windows shows nothing for a null text; neither do we record one.
  if (text == nullptr) return;
  State().debugOutput.emplace_back(text);
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

DWORD GetModuleFileNameA(HMODULE, LPSTR fileName, DWORD size) {
  const std::string& path = State().modulePath;
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (size == 0 || fileName == nullptr) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() < size) {
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  // Cut short: size-1 characters and the zero, and the full size answered so
  // the caller can tell (the behaviour since Windows Vista).
  std::memcpy(fileName, path.data(), size - 1);
  fileName[size - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

BOOL DisableThreadLibraryCalls(HMODULE module) {
  State().threadCallsDisabled.push_back(module);
  return TRUE;
}

namespace emu {

const std::vector<std::string>& DebugOutput() { return State().debugOutput; }

void ClearDebugOutput() { State().debugOutput.clear(); }

void SetModulePath(const std::string& path) { State().modulePath = path; }

const std::vector<HMODULE>& ThreadCallsDisabled() {
  return State().threadCallsDisabled;
}

namespace internal {

void ResetKernel() {
  State() = KernelState();
  lastError = ERROR_SUCCESS;
}

}  // namespace internal
}  // namespace emu

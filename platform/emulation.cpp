#include "platform/emulation.h"

#include "platform/internal.h"

namespace emu {

void Reset() {
  internal::ResetCom();
  internal::ResetOleAut();
  internal::ResetKernel();
  internal::ResetCodePage();
  internal::ResetClock();
  internal::ResetRegistry();
  internal::ResetUser();
}

}  // namespace emu

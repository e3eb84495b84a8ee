#include "scan/scan_state.h"

namespace tintrel {

void ResetColorTable(ScanState& scan) {
  for (uint8_t i = 0; i < scan.ColorTable.size(); ++i) {
    scan.ColorTable[i].Count = 0;
    scan.ColorTable[i].Color = i;
  }
}

}  // namespace tintrel

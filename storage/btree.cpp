#include "storage/vardbs.h"

namespace quintrel::storage {

void TCustomVarDB::AddRecordKeys(int, uint32_t, const std::vector<uint8_t>&) {}
void TCustomVarDB::DeleteRecordKeys(int, uint32_t, const std::vector<uint8_t>&) {}
void TCustomVarDB::UpdateBlockKeys(int, const TBlock&, uint32_t, int, int, int) {}
bool TCustomVarDB::Seek(int, const TFindRec*, int, int32_t&) { return false; }

}  // namespace quintrel::storage

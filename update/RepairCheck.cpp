#include "update/RepairCheck.h"

CRepairCheck::State CRepairCheck::Judge(const CFileListEntry& entry, const Installed& file)
{
    if (!file.exists) return State::Missing;
    // The size is the cheap check: a cut or grown file goes without reading it.
    if (entry.Size() >= 0 && file.size != entry.Size()) return State::Damaged;
    if (!entry.Hash().empty() && (!file.digest || file.digest() != entry.Hash())) return State::Damaged;
    return State::Good;
}

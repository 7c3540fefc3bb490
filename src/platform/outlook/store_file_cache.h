// Process-wide sharing of open store files, as outlook.h describes it: the
// table of the files handed out and of the one kept for the next session.
#pragma once

#include "platform/outlook/store_file.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace norvexa::outlook::pst {

// The open store file at PATH: the one already open when the same file,
// unchanged, is open (in use, or kept from the last opening), else a newly
// opened one (StoreFile::Open), which is then kept open in place of the one kept
// before (let go before the opening starts). The same file means the same absolute path as named, the same
// canonical path, size and last-write time; a file rewritten or replaced on
// disk is opened anew (objects of the old one keep reading the old one).
// Throws what StoreFile::Open throws; a file that fails to open is not kept.
std::shared_ptr<StoreFile> OpenSharedFile(const std::filesystem::path& path);

// Lets go of the file kept open for reuse. Files still used by some object
// stay open until that object goes, and are still shared meanwhile.
void ReleaseSharedFiles();

// How many times a store file was really opened through OpenSharedFile
// since the process started (openings that reused an open file excluded).
std::uint64_t StoreFileOpenCount();

}  // namespace norvexa::outlook::pst

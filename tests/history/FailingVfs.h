#pragma once

// A SQLite VFS that passes everything to the default one, except that while failing is set
// every write, sync and truncate of a file answers "disk full": a full disk or a folder that
// turned read-only, without needing either.
namespace historytest {

constexpr const char* kFailingVfs = "lvx-failing";
// Registers the VFS once; returns its name.
const char* failingVfs();
void setWritesFail(bool fail);

} // namespace historytest

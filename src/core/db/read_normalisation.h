// The rewriting of a few fields after every read, whatever its status, so that the loader
// hands the local station records in the form its player expects: the artists' flag (file
// 20), the songs' flags and counters (file 22), and the clock skeletons' counter (file 30).
#pragma once

namespace ks {

class RecordBuffers;

// Rewrites the fields of the record buffer of `file` (20, 22 or 30; other files are left).
void NormaliseRead(int file, RecordBuffers& records);

}  // namespace ks

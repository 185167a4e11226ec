// The songs the new music schedule plays (ListeMorceau): for each, the destination's song
// record, its artists, its category and its rows of the per-song tables are replaced by the
// source's. An artist or a category shared by several songs is replaced once per transfer;
// identifiers beginning with "PRE" are left alone.
#pragma once

namespace ks {

class TransferContext;

void TransferSongs(TransferContext& context);

}  // namespace ks

#include "core/transfer/songs_transfer.h"

#include <array>
#include <string>

#include "core/db/catalogue.h"
#include "core/db/record_buffer.h"
#include "core/db/record_fields.h"
#include "core/sys/text_helpers.h"
#include "core/transfer/transfer_context.h"
#include "ks/engine/btr_codes.h"

namespace ks {
namespace {

namespace op = engine::op;
namespace st = engine::status;

using ReplaceTags = TransferContext::ReplaceTags;

// The rows of a per-song table: the destination's are deleted, then the source's copied.
void ReplaceRows(TransferContext& context, std::int16_t file, std::int16_t keyNumber,
                 const std::string& startKey, const std::function<bool()>& belongs,
                 const ReplaceTags& tags, std::size_t keyBlanks) {
    context.DeleteEach(
        {file, op::kGetGreaterOrEqual, keyNumber, startKey, tags.getDestination, belongs},
        tags.deleteDestination, Location::Empty);
    if (context.err95) {
        return;
    }
    context.CopyEach(
        {.read = {file, op::kGetGreaterOrEqual, keyNumber, startKey, tags.getSource, belongs},
         .insert = {file, tags.insertDestination, keyBlanks, false},
         .where = Location::Empty,
         .advertisingRead = false,
         .beforeInsert = {}});
}

// The name field trimmed in the record buffer, so that the destination receives it trimmed.
std::string TrimField(RecordBuffer& record, FieldRef field) {
    std::string trimmed = Trim(record.Text(field));
    record.SetText(field, trimmed);
    return trimmed;
}

void ReplaceArtist(TransferContext& context, const std::string& code) {
    context.ReplaceOne(20, code, {" /J", " /K", " /L", " /M"}, 5, [&] {
        const std::string name = TrimField(context.Record(20), fields::fdat020::kName);
        context.Trace(">> Artist: " + code + " (" + name + ")");
    });
}

void ReplaceCategory(TransferContext& context, const std::string& code) {
    context.ReplaceOne(21, "CATEG" + code, {" /N", " /O", " /P", " /K"}, 10, [&] {
        const std::string name = TrimField(context.Record(21), fields::fdat021::kName);
        context.Trace(">> Category: " + code + " (" + name + ")");
    });
}

void TransferSong(TransferContext& context, const std::string& song, std::size_t index,
                  std::size_t count) {
    context.DeleteOne(22, song, " /F", " /G");
    if (context.err95) {
        return;
    }
    context.key = song;
    const std::int16_t status = context.Call(op::kGetEqual, 22, context.source, " /H");
    // A song the source does not have is left deleted, with nothing else touched.
    if (context.Lost(status) || status != st::kSuccess) {
        return;
    }
    RecordBuffer& record = context.Record(22);
    const std::string title = TrimField(record, fields::fdat022::kTitle);
    context.Trace("> Workshop: " + song + " " + std::to_string(index + 1) + "/" +
                  std::to_string(count) + " (" + title + ")");
    const std::array<std::string, 2> artists{record.Text(fields::fdat022::kFirstArtist),
                                             record.Text(fields::fdat022::kSecondArtist)};
    const std::string category = record.Text(fields::fdat022::kCategory);
    if (!context.Insert({table::kSongs, " /I", 8, false}, Location::Caption)) {
        return;
    }

    for (const std::string& artist : artists) {
        if (!IsBlank(artist) && context.ListeArtiste.AddIfMissing(artist)) {
            ReplaceArtist(context, artist);
            if (context.err95) {
                return;
            }
        }
    }
    if (context.ListeCategorie.AddIfMissing(category)) {
        ReplaceCategory(context, category);
        if (context.err95) {
            return;
        }
    }
    context.ReplaceOne(24, song, {" /R", " /S", " /T", " /U"}, 8);
    if (!context.err95) {
        context.ReplaceOne(26, song, {" /V", " /W", " /X", " /Y"}, 8);
    }
    if (!context.err95) {
        ReplaceRows(
            context, 29, 2, song, [&] { return context.key == song; },
            {" /Z", " /AA", " /AB", " /AC"}, 18);
    }
    const auto ownsRow = [&](FieldRef field, std::int16_t file) {
        return [&context, &song, field, file] { return context.Record(file).Text(field) == song; };
    };
    if (!context.err95) {
        ReplaceRows(context, 31, 0, song + std::string(3, '\0'),
                    ownsRow(fields::fdat031::kSongId, 31), {" /AD", " /AE", " /AF", " /AG"}, 11);
    }
    if (!context.err95) {
        ReplaceRows(context, 32, 0, song + std::string(2, '\0'),
                    ownsRow(fields::fdat032::kSongId, 32), {" /AH", " /AI", " /AJ", " /AK"}, 10);
    }
}

}  // namespace

void TransferSongs(TransferContext& context) {
    const WorkingList& songs = context.ListeMorceau;
    const std::size_t count = songs.Count();
    if (count > 0) {
        context.ItemRange(0, static_cast<int>(count) - 1);
        context.Trace("Start: Transfert data for Workshops, Artists, Categories");
        context.Trace("# Workshops: " + std::to_string(count));
        for (std::size_t i = 0; i < count && !context.err95; ++i) {
            const std::string& song = songs[i];
            context.ItemValue(static_cast<int>(i));
            context.Caption("SongId: " + song);
            if (!song.starts_with("PRE")) {
                TransferSong(context, song, i, count);
            }
        }
    }
    context.Trace("End  : Transfert data for Workshops, Artists, Categories");
}

}  // namespace ks

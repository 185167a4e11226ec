// The music and advertising library of the demo station: categories, artists, songs,
// advertising spots and jingles, made from fixed word lists and a seed. Pure data: the table
// files are written from it elsewhere. Texts are Windows-1252, codes fit their record fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ks::demo {

struct DemoCategory {
    std::string Code;  // up to 5 characters; the FDAT021 key is "CATEG" + code
    std::string Name;
};

struct DemoArtist {
    std::string Code;  // 5 characters
    std::string Name;  // up to 30 characters
    std::string CategoryCode;
};

struct DemoSong {
    std::string Id;       // 8 characters
    std::string Title;    // up to 40 characters
    std::string Artist1;  // artist codes; Artist2 is empty for most songs
    std::string Artist2;
    std::string CategoryCode;
    int DurationSeconds = 0;
    int IntroSeconds = 0;
    int Year = 0;
};

// A sound that is not a song: an advertising spot or a jingle.
struct DemoSound {
    std::string Id;    // 8 characters
    std::string Name;  // up to 30 characters
    int DurationSeconds = 0;
};

struct DemoLibrary {
    std::vector<DemoCategory> Categories;
    std::vector<DemoArtist> Artists;
    std::vector<DemoSong> Songs;
    std::vector<DemoSound> Spots;
    std::vector<DemoSound> Jingles;
};

inline constexpr std::uint32_t kDemoSeed = 20261207;
inline constexpr int kDemoSongCount = 300;
inline constexpr int kDemoArtistCount = 80;

// The library for `seed`: every song has a unique identifier and title, an existing first
// artist, a second artist for about one song in seven, and an existing category.
DemoLibrary MakeDemoLibrary(std::uint32_t seed = kDemoSeed, int songCount = kDemoSongCount,
                            int artistCount = kDemoArtistCount);

}  // namespace ks::demo

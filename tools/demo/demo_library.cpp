#include "tools/demo/demo_library.h"

#include <array>
#include <string_view>

#include "core/sys/text_helpers.h"
#include "platform/cp1252.h"
#include "tools/demo/demo_random.h"

namespace ks::demo {
namespace {

struct CategoryRow {
    std::string_view code;
    std::string_view name;  // UTF-8 here, Windows-1252 in the library
};

constexpr std::array<CategoryRow, 10> kCategories{{
    {"POP", "Pop"},
    {"ROCK", "Rock"},
    {"CHANS", "Chanson française"},
    {"JAZZ", "Jazz"},
    {"ELECT", "Électro"},
    {"ANN80", "Années 80"},
    {"ANN90", "Années 90"},
    {"NOUV", "Nouveautés"},
    {"SLOW", "Slows"},
    {"RNB", "R&B et soul"},
}};

constexpr std::array<std::string_view, 24> kFirstNames{
    "Amélie",  "Bastien", "Céline",    "Damien", "Élodie", "François", "Gaëlle",  "Hélène",
    "Inès",    "Jérôme",  "Karim",     "Léa",    "Maël",   "Noémie",   "Océane",  "Pascal",
    "Quentin", "Rémi",    "Sébastien", "Thaïs",  "Ugo",    "Valérie",  "Yannick", "Zoé"};

constexpr std::array<std::string_view, 20> kLastNames{
    "Aubert",   "Bénard",  "Chevalier", "Delorme", "Étienne", "Fabre",   "Garnier",
    "Hébert",   "Lefèvre", "Marchand",  "Noël",    "Perrin",  "Rivière", "Séverin",
    "Thibault", "Vasseur", "Moreau",    "Lacroix", "Giraud",  "Brochard"};

constexpr std::array<std::string_view, 16> kBands{
    "Les Garçons du Port", "Trio Mistral",       "Les Étoiles Filantes", "Orchestre Mirabelle",
    "Nuit Blanche",        "Les Frères Caillou", "Quatuor Boréal",       "Électre",
    "Les Demoiselles",     "Café Crème",         "Soleil Levant",        "La Bande à Félix",
    "Les Cigales",         "Marée Haute",        "Arc-en-Ciel",          "Les Hirondelles"};

constexpr std::array<std::string_view, 30> kTitleStarts{
    "La Chanson",   "Les Rêves",   "Le Café",    "L'Horizon",        "La Rivière",
    "Les Étoiles",  "Le Vent",     "La Valse",   "Le Dernier Métro", "Les Lumières",
    "L'Océan",      "La Fièvre",   "Le Silence", "Les Amoureux",     "La Pluie",
    "Le Train",     "Les Saisons", "La Mélodie", "Le Phare",         "L'Été indien",
    "La Bohème",    "Les Cerises", "Le Manège",  "La Promesse",      "Les Souvenirs",
    "Le Carrousel", "La Lettre",   "Les Nuages", "Le Bal",           "La Dérive"};

constexpr std::array<std::string_view, 16> kTitleEnds{"",
                                                      " de Paris",
                                                      " à Lyon",
                                                      " du samedi soir",
                                                      " de décembre",
                                                      " sur la plage",
                                                      " au bord de l'eau",
                                                      " sans toi",
                                                      " pour toujours",
                                                      " d'hier",
                                                      " de demain",
                                                      " en noir et blanc",
                                                      " au clair de lune",
                                                      " à la radio",
                                                      " du dimanche",
                                                      " en été"};

constexpr std::array<std::string_view, 20> kAdvertisers{
    "Boulangerie Lemaire", "Garage du Centre",   "Pharmacie des Halles", "Fromagerie Dupuis",
    "Optique Vision Plus", "Meubles Girard",     "Crédit Régional",      "Supermarché Leclair",
    "Auto-école Rapide",   "Jardinerie Verte",   "Brasserie du Marché",  "Librairie Océane",
    "Cinéma Le Royal",     "Piscine municipale", "Fête de la musique",   "Salon de l'habitat",
    "Agence Immobilière",  "Coiffure Élégance",  "Vélos Martin",         "Théâtre des Arts"};

constexpr std::array<std::string_view, 5> kJingles{"Jingle Kestrel FM", "Jingle météo",
                                                   "Jingle info", "Jingle nuit", "Jingle matin"};

std::string Cp(std::string_view utf8) {
    return Utf8ToCp1252(utf8);
}

std::string PickCategory(DemoRandom& random) {
    constexpr int kCount = static_cast<int>(kCategories.size());
    return std::string(kCategories[static_cast<std::size_t>(random.Below(kCount))].code);
}

std::string Numbered(std::string_view prefix, int number, std::int16_t width) {
    return std::string(prefix) + N2S(number, width, 0, "0");
}

std::vector<DemoArtist> MakeArtists(DemoRandom& random, int count) {
    // Solo artists from every pairing of a first and a last name, bands now and then.
    std::vector<std::string> names;
    for (const auto first : kFirstNames) {
        for (const auto last : kLastNames) {
            names.push_back(Cp(first) + " " + Cp(last));
        }
    }
    random.Shuffle(names);
    std::vector<std::string> bands;
    bands.reserve(kBands.size());
    for (const auto band : kBands) {
        bands.push_back(Cp(band));
    }
    random.Shuffle(bands);

    std::vector<DemoArtist> artists;
    std::size_t nextName = 0;
    std::size_t nextBand = 0;
    for (int i = 0; i < count; ++i) {
        DemoArtist artist;
        artist.Code = Numbered("A", i + 1, 4);
        if (nextBand < bands.size() && random.Chance(20)) {
            artist.Name = bands[nextBand++];
        } else {
            artist.Name = names[nextName++ % names.size()];
        }
        artist.CategoryCode = PickCategory(random);
        artists.push_back(std::move(artist));
    }
    return artists;
}

std::vector<std::string> MakeTitles(DemoRandom& random, int count) {
    std::vector<std::string> titles;
    for (const auto start : kTitleStarts) {
        for (const auto end : kTitleEnds) {
            titles.push_back(Cp(start) + Cp(end));
        }
    }
    random.Shuffle(titles);
    // More songs than pairings: the later ones are numbered parts of the first titles.
    const std::size_t pairings = titles.size();
    for (std::size_t i = pairings; i < static_cast<std::size_t>(count); ++i) {
        titles.push_back(titles[i % pairings] + " (partie " + std::to_string(i / pairings + 1) +
                         ")");
    }
    titles.resize(static_cast<std::size_t>(count));
    return titles;
}

std::vector<DemoSong> MakeSongs(DemoRandom& random, const std::vector<DemoArtist>& artists,
                                int count) {
    const std::vector<std::string> titles = MakeTitles(random, count);
    std::vector<DemoSong> songs;
    for (int i = 0; i < count; ++i) {
        DemoSong song;
        song.Id = std::to_string(10000001 + i);
        song.Title = titles[static_cast<std::size_t>(i)];
        const DemoArtist& first =
            artists[static_cast<std::size_t>(random.Below(static_cast<int>(artists.size())))];
        song.Artist1 = first.Code;
        if (random.Chance(14)) {
            const DemoArtist& second =
                artists[static_cast<std::size_t>(random.Below(static_cast<int>(artists.size())))];
            if (second.Code != first.Code) {
                song.Artist2 = second.Code;
            }
        }
        song.CategoryCode = random.Chance(80) ? first.CategoryCode : PickCategory(random);
        song.DurationSeconds = random.Between(150, 330);
        song.IntroSeconds = random.Between(0, 25);
        song.Year = random.Between(1962, 2026);
        songs.push_back(std::move(song));
    }
    return songs;
}

std::vector<DemoSound> MakeSpots(DemoRandom& random) {
    std::vector<DemoSound> spots;
    int number = 0;
    for (const auto advertiser : kAdvertisers) {
        for (const int length : {20, 30}) {
            DemoSound spot;
            spot.Id = Numbered("SPOT", ++number, 4);
            spot.DurationSeconds = length + random.Between(-2, 2);
            spot.Name = Cp(advertiser) + " " + std::to_string(length) + "s";
            spots.push_back(std::move(spot));
        }
    }
    return spots;
}

std::vector<DemoSound> MakeJingles(DemoRandom& random) {
    std::vector<DemoSound> jingles;
    jingles.reserve(kJingles.size());
    int number = 0;
    for (const auto name : kJingles) {
        jingles.push_back(
            DemoSound{Numbered("JING", ++number, 4), Cp(name), random.Between(6, 14)});
    }
    return jingles;
}

}  // namespace

DemoLibrary MakeDemoLibrary(std::uint32_t seed, int songCount, int artistCount) {
    DemoRandom random(seed);
    DemoLibrary library;
    for (const CategoryRow& row : kCategories) {
        library.Categories.push_back(DemoCategory{std::string(row.code), Cp(row.name)});
    }
    library.Artists = MakeArtists(random, artistCount);
    library.Songs = MakeSongs(random, library.Artists, songCount);
    library.Spots = MakeSpots(random);
    library.Jingles = MakeJingles(random);
    return library;
}

}  // namespace ks::demo

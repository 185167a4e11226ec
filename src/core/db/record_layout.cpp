#include "core/db/record_layout.h"

#include <algorithm>
#include <array>

namespace ks {
namespace {

constexpr LayoutRun T(std::uint16_t position, std::uint16_t width, std::uint16_t repeat = 1) {
    return {position, FieldKind::Text, width, repeat};
}
constexpr LayoutRun N(std::uint16_t position, std::uint16_t width, std::uint16_t repeat = 1) {
    return {position, FieldKind::Number, width, repeat};
}

// clang-format off
// Files 0 and 9 share their layout: five settings blocks of 36 bytes from position 61.
constexpr auto kSettingsBlock = std::to_array<LayoutRun>({T(1, 2), T(3, 1, 7), T(10, 11), N(21, 8, 2)});
constexpr auto kSettingsGroups = std::to_array<LayoutGroup>({{61, 5, 36, kSettingsBlock}});
constexpr auto kSettings = std::to_array<LayoutRun>({T(1, 5, 2), T(11, 30), T(41, 20), T(241, 760)});

constexpr auto kFile17 = std::to_array<LayoutRun>({
    T(1, 8), T(9, 2, 6), T(21, 40, 2), N(101, 2, 2), T(105, 40), N(145, 4), T(149, 40),
    T(189, 6), T(195, 3), T(198, 8, 2), T(214, 10), T(224, 1), N(225, 2), T(227, 1), T(228, 8),
    T(236, 40, 2), N(317, 2, 3), T(323, 5), N(329, 2, 2), T(333, 5, 2), T(343, 1, 2), N(345, 4),
    N(349, 2), N(353, 4, 2), N(361, 2, 3), N(369, 4, 3), T(381, 1), N(385, 4), T(389, 1),
    T(390, 3), N(393, 2), T(395, 1, 2), N(397, 4), T(401, 40), N(441, 4), T(445, 40),
    T(485, 2, 5), T(495, 1, 10), T(505, 255), N(761, 4, 5), N(781, 2, 5), T(791, 220)});

constexpr auto kFile20 = std::to_array<LayoutRun>({
    T(1, 5), T(6, 10), T(16, 30), T(46, 1), T(47, 4), T(51, 8), T(59, 1), T(60, 2, 3), T(66, 80),
    T(146, 1), T(147, 30), T(177, 2), T(179, 12), T(191, 1), N(193, 2), T(195, 32), T(227, 1),
    T(228, 5), T(233, 1), T(234, 2, 3), T(240, 5, 5), T(265, 1, 11), T(276, 5, 5)});

constexpr auto kFile21 = std::to_array<LayoutRun>({T(1, 5, 2), T(11, 30), T(41, 940)});

constexpr auto kFile22 = std::to_array<LayoutRun>({
    T(1, 8), T(9, 5, 3), T(24, 40), T(64, 5, 5), T(89, 3), T(92, 1, 9), T(101, 3), T(104, 4),
    T(108, 1), T(109, 5, 16), T(189, 4), T(193, 3), T(196, 5, 2), T(206, 1, 3), T(209, 10),
    T(219, 5, 2), T(229, 1), T(230, 129), T(359, 1, 54), T(413, 4), T(417, 8, 2), T(433, 1, 5),
    T(438, 8, 2), T(454, 5), T(459, 1), T(460, 6), T(466, 2), T(468, 1, 3), T(471, 8),
    T(479, 5, 10), T(529, 8), T(537, 3), T(540, 8), T(548, 1), T(549, 8, 3), T(573, 1, 2),
    T(575, 8, 2), T(591, 15, 3), T(636, 9), T(645, 1), T(646, 8, 5), T(686, 1), T(687, 2, 3),
    T(693, 1), T(694, 5, 20), T(794, 2), T(796, 10), T(806, 20), T(826, 1), T(827, 20),
    T(847, 8), N(855, 2), T(857, 1, 2), N(859, 2), T(861, 1), T(862, 10, 3), T(892, 8),
    T(900, 1)});

// Files 23 and 24 share their layout.
constexpr auto kStacks = std::to_array<LayoutRun>({T(1, 8), T(9, 5), T(14, 6, 2), T(26, 25), T(51, 30), T(81, 4),
                                 T(85, 8), T(93, 2, 2), T(97, 4)});

constexpr auto kFile25 = std::to_array<LayoutRun>({T(1, 4), T(5, 5), T(10, 1), T(11, 2, 75), T(161, 90)});

constexpr auto kFile26 = std::to_array<LayoutRun>({
    T(1, 8), T(9, 1), T(10, 10), T(20, 8), T(28, 1), T(29, 5), T(34, 8), T(42, 1), T(43, 30),
    T(73, 8), T(81, 30), T(111, 1, 3), N(117, 4), T(121, 1), T(122, 3), T(125, 10), T(135, 15),
    T(150, 1)});

constexpr auto kFile27 = std::to_array<LayoutRun>({T(1, 8), T(9, 2, 3), T(15, 8), T(23, 6), T(29, 4), T(33, 1),
                                 T(34, 8), T(42, 1), T(43, 4, 2)});

constexpr auto kFile28 = std::to_array<LayoutRun>({T(1, 8), T(9, 2, 4), T(17, 80), T(97, 8), T(105, 1, 2),
                                 T(107, 2), T(109, 8), T(117, 2, 3), T(123, 4), T(127, 15),
                                 T(142, 9)});

constexpr auto kFile29 = std::to_array<LayoutRun>({T(1, 5, 2), T(11, 8), T(19, 40), T(59, 42)});

constexpr auto kFile30 = std::to_array<LayoutRun>({
    T(1, 5), T(6, 3), N(9, 2), T(11, 8), T(19, 6), T(25, 3, 2), T(31, 8), T(39, 10), T(49, 13),
    T(62, 2, 2), T(66, 6), T(72, 1), T(73, 50), T(123, 5, 3), T(138, 10, 5), T(188, 3),
    T(191, 5), T(196, 1), T(197, 5, 3), T(212, 1, 2), T(214, 5, 5), T(239, 1, 8), N(247, 2, 2)});

constexpr auto kFile31 = std::to_array<LayoutRun>({T(1, 8), T(9, 1), T(10, 2), T(12, 10, 2), T(32, 2), T(34, 1),
                                 T(35, 10), T(45, 6)});

constexpr auto kFile32 = std::to_array<LayoutRun>({T(1, 8), T(9, 2), T(11, 240)});

constexpr auto kFile33 = std::to_array<LayoutRun>({T(1, 8), T(9, 6), T(15, 1, 2), T(17, 5), T(22, 8), T(30, 6),
                                 T(36, 5), T(41, 8), T(49, 6), T(55, 8), T(63, 38)});

constexpr auto kFile34 = std::to_array<LayoutRun>({T(1, 8, 2), T(17, 6), T(23, 40), T(63, 8), T(71, 6), T(77, 5),
                                 T(82, 8), T(90, 6), T(96, 5), T(101, 8), T(109, 6), T(115, 8),
                                 T(123, 6, 2), T(135, 1), T(136, 65)});

constexpr auto kFile35 = std::to_array<LayoutRun>({
    T(1, 8), T(9, 2), T(11, 3), T(14, 2, 3), T(20, 5), T(25, 1), T(26, 6), T(32, 3, 2), T(38, 8),
    T(46, 10), T(56, 13), T(69, 2, 2), T(73, 6), T(79, 1), T(80, 40), T(120, 60), T(180, 3),
    T(183, 5, 3), T(198, 10, 5), T(248, 5), T(253, 6, 2), T(265, 1, 2), N(267, 2), T(269, 2),
    T(271, 1), N(273, 2, 2), T(277, 1, 5), T(282, 8), T(290, 5, 2), T(300, 1, 8), T(308, 8, 2),
    T(324, 1, 3), T(327, 2), T(329, 1, 2), N(333, 4, 3), T(345, 1), N(349, 4, 4), T(365, 5, 3),
    T(380, 1, 2), T(382, 25)});

constexpr auto kFile36 = std::to_array<LayoutRun>({T(1, 5, 2), T(11, 8, 3), T(35, 66)});

constexpr auto kFile37 = std::to_array<LayoutRun>({T(1, 8), T(9, 12, 2), N(33, 4, 2), T(41, 1), N(45, 4, 11),
                                 N(89, 2), N(93, 4), T(97, 1), N(101, 4, 6), T(125, 384)});

constexpr auto kFile47 = std::to_array<LayoutRun>({T(1, 1), T(2, 10), T(12, 1, 2), N(15, 2), T(17, 4032),
                                 T(4049, 37)});

constexpr auto kFile48 = std::to_array<LayoutRun>({T(1, 8), T(9, 3), T(12, 40), T(52, 49)});

constexpr auto kFile49 = std::to_array<LayoutRun>({T(1, 8), N(9, 2, 192), T(393, 1, 24), T(417, 8), T(425, 4),
                                 N(429, 2, 6)});

constexpr auto kFile53 = std::to_array<LayoutRun>({
    T(1, 8), T(9, 2, 4), T(17, 8), T(25, 3, 2), T(31, 8), T(39, 10), T(49, 13), T(62, 2),
    N(65, 2), T(67, 1, 4), T(71, 5), N(77, 2, 2), T(81, 14), N(95, 2, 2), T(99, 128), T(227, 1),
    N(229, 4, 3), T(241, 1), N(245, 4, 4), N(261, 2, 2), T(265, 2, 3), N(271, 2, 2), T(275, 5, 5),
    N(301, 4, 2), T(309, 8), N(317, 4, 2), T(325, 1), T(326, 8), N(337, 4), N(341, 2), T(343, 1),
    N(345, 2), T(347, 14), T(361, 32), T(393, 119)});

constexpr auto kLayouts = std::to_array<RecordLayout>({
    {0, 1000, kSettings, kSettingsGroups},
    {9, 1000, kSettings, kSettingsGroups},
    {17, 1000, kFile17, {}},
    {20, 300, kFile20, {}},
    {21, 980, kFile21, {}},
    {22, 900, kFile22, {}},
    {23, 100, kStacks, {}},
    {24, 100, kStacks, {}},
    {25, 250, kFile25, {}},
    {26, 150, kFile26, {}},
    {27, 50, kFile27, {}},
    {28, 150, kFile28, {}},
    {29, 100, kFile29, {}},
    {30, 250, kFile30, {}},
    {31, 50, kFile31, {}},
    {32, 250, kFile32, {}},
    {33, 100, kFile33, {}},
    {34, 200, kFile34, {}},
    {35, 400, kFile35, {}},
    {36, 100, kFile36, {}},
    {37, 500, kFile37, {}},
    {47, 4082, kFile47, {}},
    {48, 100, kFile48, {}},
    {49, 450, kFile49, {}},
    {53, 500, kFile53, {}},
});
// clang-format on

void Unroll(std::vector<LayoutField>& out, const LayoutRun& run, int base) {
    for (int i = 0; i < run.repeat; ++i) {
        out.push_back(
            {static_cast<std::uint16_t>(base + run.position + i * run.width), run.kind, run.width});
    }
}

}  // namespace

std::span<const RecordLayout> RecordLayouts() {
    return kLayouts;
}

const RecordLayout* FindRecordLayout(int file) {
    for (const RecordLayout& layout : kLayouts) {
        if (layout.file == file) {
            return &layout;
        }
    }
    return nullptr;
}

std::vector<LayoutField> ExpandLayout(const RecordLayout& layout) {
    std::vector<LayoutField> fields;
    for (const LayoutRun& run : layout.runs) {
        Unroll(fields, run, 0);
    }
    for (const LayoutGroup& group : layout.groups) {
        for (int copy = 0; copy < group.count; ++copy) {
            for (const LayoutRun& run : group.fields) {
                Unroll(fields, run, group.position - 1 + copy * group.length);
            }
        }
    }
    std::stable_sort(fields.begin(), fields.end(), [](const LayoutField& a, const LayoutField& b) {
        return a.position < b.position;
    });
    std::vector<LayoutField> kept;
    kept.reserve(fields.size());
    for (LayoutField field : fields) {
        if (field.position > layout.recordLength) {
            continue;
        }
        const int room = layout.recordLength - field.position + 1;
        if (field.width > room) {
            field.width = static_cast<std::uint16_t>(room);
        }
        kept.push_back(field);
    }
    return kept;
}

}  // namespace ks

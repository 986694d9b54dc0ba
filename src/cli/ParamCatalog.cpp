#include "ParamCatalog.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace cli {

namespace {

struct Row {
    const char *identifier;
    int id;
    const char *meaning;
};

// The main controls and the randomise group.
const Row kMainRows[] = {
    {"DotShape", 1, "dot shape"},
    {"DotColor", 2, "dot colour"},
    {"DotSize", 3, "dot size"},
    {"DotAspect", 4, "dot aspect ratio"},
    {"DotRotation", 5, "dot rotation"},
    {"RotationType", 6, "rotation type"},
    {"DotOpacity", 7, "dot opacity"},
    {"SpacingType", 8, "spacing type"},
    {"DotSpacingX", 9, "dot X spacing"},
    {"DotSpacingY", 10, "dot Y spacing"},
    {"CenterPosition", 11, "centre position of the grid"},
    {"CenterDotToFront", 125, "centre dot to front"},
    {"GlobalRotation", 12, "global rotation angle of the grid"},
    {"GlobalRotationCenter", 13, "global rotation centre"},
    {"MaskMode", 14, "mask"},
    {"MaskLayer", 15, "target mask layer"},
    {"InvertMask", 16, "invert mask"},
    {"ClearBackground", 17, "clear background"},
    {"RandomTopic", 18, "randomise (group)"},
    {"RandomInterval", 20, "random interval: frames between re-seeding"},
    {"RandomCycle", 132, "random arrangement: number of arrangements cycled"},
    {"RandomSeed", 21, "random seed"},
    {"RandomSize", 22, "size (random amount)"},
    {"RandomAspect", 23, "aspect ratio (random amount)"},
    {"RandomRotation", 24, "rotation (random amount)"},
    {"RandomOpacity", 25, "opacity (random amount)"},
    {"RandomSpacingX", 26, "X spacing (random amount)"},
    {"RandomSpacingY", 27, "Y spacing (random amount)"},
    {"RandomHue", 32, "hue (random amount)"},
    {"RandomSaturation", 33, "saturation (random amount)"},
    {"RandomValue", 34, "value (random amount)"},
    {"RandomTopicEnd", 19, "end of the randomise group"},
};

// One effector's group. The identifier gets the effector's digit appended,
// "N" in the meaning becomes the digit; ids are those of effectors 1, 2, 3.
struct EffectorRow {
    const char *stem;
    int ids[3];
    const char *meaning;
};

const EffectorRow kEffectorRows[] = {
    {"Effector", {35, 65, 95}, "effector N (group)"},
    {"EnableEffector", {37, 67, 97}, "enable effector N"},
    {"EffectorPosition", {41, 71, 101}, "position N"},
    {"EffectorSize", {42, 72, 102}, "size N"},
    {"EffectorAngle", {40, 70, 100}, "angle N"},
    {"EffectorFalloff", {43, 73, 103}, "falloff N"},
    {"EffectMap", {136, 137, 138}, "effect map N"},
    {"CustomMapLayer", {45, 75, 105}, "custom map layer N"},
    {"FitToLayer", {139, 140, 141}, "map to layer N (fit the map layer to the layer)"},
    {"PickSourceColor", {129, 130, 131}, "pick source colour N"},
    {"Tile", {133, 134, 135}, "tile N"},
    {"EffectorCenterDotToFront", {126, 127, 128}, "centre dot to front N"},
    {"Absolute", {46, 76, 106}, "absolute N"},
    {"IndependentSize", {47, 77, 107}, "independent size N"},
    {"IndependentAspect", {48, 78, 108}, "independent aspect ratio N"},
    {"IndependentRotation", {49, 79, 109}, "independent rotation N"},
    {"IndependentOpacity", {50, 80, 110}, "independent opacity N"},
    {"SizeByRatio", {52, 82, 112}, "scale by ratio N"},
    {"AspectByRatio", {53, 83, 113}, "aspect ratio by ratio N"},
    {"RotationByRatio", {54, 84, 114}, "rotation by ratio N"},
    {"OpacityByRatio", {55, 85, 115}, "opacity by ratio N"},
    {"SizeOffset", {57, 87, 117}, "size offset N"},
    {"AspectOffset", {58, 88, 118}, "aspect ratio offset N"},
    {"RotationOffset", {59, 89, 119}, "rotation offset N"},
    {"OpacityOffset", {60, 90, 120}, "opacity offset N"},
    {"EffectorColor", {61, 91, 121}, "colour N: recolour the dots"},
    {"BlendMode", {62, 92, 122}, "blend mode N"},
    {"BlendColor", {63, 93, 123}, "blend colour N"},
    {"HueOffset", {64, 94, 124}, "hue offset N"},
    {"EffectorEnd", {36, 66, 96}, "end of the effector N group"},
};

std::vector<CatalogEntry> Build()
{
    std::vector<CatalogEntry> all;
    for (const Row &r : kMainRows) {
        all.push_back({r.identifier, r.id, r.meaning});
    }
    for (int n = 0; n < 3; ++n) {
        const std::string digit(1, static_cast<char>('1' + n));
        for (const EffectorRow &r : kEffectorRows) {
            std::string meaning = r.meaning;
            meaning.replace(meaning.find('N'), 1, digit);
            all.push_back({r.stem + digit, r.ids[n], meaning});
        }
    }
    return all;
}

char Lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

const std::vector<CatalogEntry> &ParamCatalog()
{
    static const std::vector<CatalogEntry> catalog = Build();
    return catalog;
}

const CatalogEntry *FindCatalogEntryById(int id)
{
    for (const CatalogEntry &e : ParamCatalog()) {
        if (e.id == id) {
            return &e;
        }
    }
    return nullptr;
}

const CatalogEntry *FindCatalogEntry(std::string_view identifier)
{
    for (const CatalogEntry &e : ParamCatalog()) {
        if (e.identifier == identifier) {
            return &e;
        }
    }
    for (const CatalogEntry &e : ParamCatalog()) {
        if (EqualIgnoringCase(e.identifier, identifier)) {
            return &e;
        }
    }
    return nullptr;
}

std::size_t EditDistance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> previous(b.size() + 1);
    std::vector<std::size_t> current(b.size() + 1);
    std::iota(previous.begin(), previous.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t substitute =
                previous[j - 1] + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitute});
        }
        std::swap(previous, current);
    }
    return previous[b.size()];
}

std::vector<std::string> NearestIdentifiers(std::string_view name, std::size_t count)
{
    // A suggestion is worth showing when at most about a third of the longer
    // name has to change (at least 2 edits are always allowed).
    struct Scored {
        std::size_t distance;
        std::size_t order;
        const CatalogEntry *entry;
    };
    std::vector<Scored> scored;
    const std::vector<CatalogEntry> &catalog = ParamCatalog();
    for (std::size_t i = 0; i < catalog.size(); ++i) {
        const std::size_t d = EditDistance(name, catalog[i].identifier);
        const std::size_t longer = std::max(name.size(), catalog[i].identifier.size());
        if (d <= std::max<std::size_t>(2, longer / 3)) {
            scored.push_back({d, i, &catalog[i]});
        }
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const Scored &x, const Scored &y) { return x.distance < y.distance; });
    std::vector<std::string> names;
    for (std::size_t i = 0; i < scored.size() && i < count; ++i) {
        names.push_back(scored[i].entry->identifier);
    }
    return names;
}

std::string UnknownParameterMessage(std::string_view name)
{
    std::string message = "unknown parameter '" + std::string(name) + "'";
    const std::vector<std::string> near = NearestIdentifiers(name);
    if (near.empty()) {
        return message + "; 'stipplex params' lists them all";
    }
    message += " (nearest: ";
    for (std::size_t i = 0; i < near.size(); ++i) {
        message += (i == 0 ? "" : ", ") + near[i];
    }
    return message + ")";
}

}  // namespace cli

#include "manual/ParameterReference.h"

#include "manual/EditorAreas.h"

#include "EditorLayout.h"
#include "editor/SynthEditor.h"
#include "plugin/Synth.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace Manual {

namespace {

// A choice parameter shows at most this many texts over its whole range.
constexpr std::size_t kMaxChoices = 12;
// Values tried across the range to find every text a choice parameter shows.
constexpr int kRangeSteps = 1000;

VstIntPtr VST_CALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The plug-in as a host meets it: a value stored, one sub-block rendered so
// that it is live (some texts show the live value), then its display text.
class Probe {
public:
    Probe() : synth_(&quietHost)
    {
        synth_.setSampleRate(44100.0f);
        synth_.setBlockSize(kFrames);
    }

    int count() const { return synth_.parameterCount(); }
    std::string name(int index) const
    {
        char text[256] = {};
        synth_.copyParameterName(index, text, sizeof text);
        return text;
    }
    float defaultValue(int index) const { return synth_.defaultValue(index); }

    void set(int index, float value)
    {
        synth_.setParameter(index, value);
        float left[kFrames], right[kFrames];
        float* outputs[2] = {left, right};
        synth_.processReplacing(nullptr, outputs, kFrames);
    }

    std::string text(int index, float value)
    {
        set(index, value);
        char text[64] = {};
        synth_.getParameterDisplay(index, text);
        return text;
    }

private:
    static constexpr int kFrames = 16;
    Synth synth_;
};

// What the plug-in shows of one parameter over its range.
struct Shown {
    std::string low, standard, high;
    std::vector<std::string> choices; // every text, in order, for a choice parameter

    bool operator==(const Shown& other) const
    {
        return low == other.low && standard == other.standard && high == other.high && choices == other.choices;
    }
};

Shown shown(Probe& probe, int index)
{
    const float standard = probe.defaultValue(index);
    Shown s{probe.text(index, 0.0f), probe.text(index, standard), probe.text(index, 1.0f), {}};
    for (int step = 0; step <= kRangeSteps; ++step) {
        const std::string text = probe.text(index, static_cast<float>(step) / static_cast<float>(kRangeSteps));
        if (std::find(s.choices.begin(), s.choices.end(), text) == s.choices.end())
            s.choices.push_back(text);
        if (s.choices.size() > kMaxChoices) {
            s.choices.clear();
            break;
        }
    }
    probe.set(index, standard);
    return s;
}

std::string code(const std::string& text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '|' ? std::string("\\|") : std::string(1, c);
    return "`" + escaped + "`";
}

std::string range(const Shown& s)
{
    if (s.choices.empty())
        return code(s.low) + " to " + code(s.high);
    std::string list;
    for (const std::string& choice : s.choices)
        list += (list.empty() ? "" : ", ") + code(choice);
    return list;
}

struct Row {
    int index;
    std::string name;
    const SynthEditor::LayoutRow* control; // null when the editor has none
    std::string caption;
    std::string range;
    std::string standard;
};

const SynthEditor::LayoutRow* controlOf(const std::string& name)
{
    for (int i = 0; i < SynthEditor::kLayoutRowCount; ++i)
        if (name == SynthEditor::kLayout[i].name)
            return &SynthEditor::kLayout[i];
    return nullptr;
}

std::string captionOf(const std::string& name)
{
    for (const EditorLayout::Knob& knob : EditorLayout::kKnobs)
        if (name == knob.name)
            return std::string("**") + knob.caption + "** knob";
    for (const EditorLayout::Small& small : EditorLayout::kSmall)
        if (name == small.name)
            return std::string("**") + small.caption + "** switch";
    return "none";
}

std::string table(const std::vector<Row>& rows, const Notes& notes)
{
    std::string out = "| Control | Parameter | # | Range | Default | What it does |\n|---|---|---|---|---|---|\n";
    for (const Row& row : rows)
        out += "| " + row.caption + " | `" + row.name + "` | " + std::to_string(row.index) + " | " + row.range + " | " +
               row.standard + " | " + notes.at(row.name) + " |\n";
    return out;
}

} // namespace

Notes readNotes(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    Notes notes;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == line.size())
            throw std::runtime_error(path + ":" + std::to_string(number) + ": expected a name, a tab and a note");
        if (!notes.emplace(line.substr(0, tab), line.substr(tab + 1)).second)
            throw std::runtime_error(path + ":" + std::to_string(number) + ": a second note for " +
                                     line.substr(0, tab));
    }
    return notes;
}

std::string parameterReference(const Notes& notes)
{
    Probe probe;
    const std::vector<Area> areas = editorAreas();

    // The switches among the parameters, and the parameters they change the
    // meaning of (a sync switch turns a rate or a time into note lengths).
    std::vector<int> switches;
    for (int i = 0; i < probe.count(); ++i) {
        const SynthEditor::LayoutRow* control = controlOf(probe.name(i));
        if (control && std::strcmp(control->type, "SmallToggleButton") == 0)
            switches.push_back(i);
    }

    std::string missing;
    std::vector<Row> rows;
    for (int i = 0; i < probe.count(); ++i) {
        const std::string name = probe.name(i);
        if (notes.find(name) == notes.end())
            missing += " " + name;
        const Shown plain = shown(probe, i);
        Row row{i, name, controlOf(name), captionOf(name), range(plain), code(plain.standard)};
        for (int s : switches) {
            if (s == i)
                continue;
            probe.set(s, 1.0f);
            const Shown switched = shown(probe, i);
            probe.set(s, probe.defaultValue(s));
            if (!(switched == plain))
                row.range += "; with `" + probe.name(s) + "` on: " + range(switched);
        }
        rows.push_back(row);
    }
    std::string unknown;
    for (const auto& note : notes) {
        bool found = false;
        for (const Row& row : rows)
            found = found || row.name == note.first;
        if (!found)
            unknown += " " + note.first;
    }
    if (!missing.empty() || !unknown.empty())
        throw std::runtime_error(
            "the notes do not match the plug-in's parameters:" + (missing.empty() ? "" : " no note for" + missing) +
            (unknown.empty() ? "" : "; no parameter for" + unknown));

    std::string out;
    for (const Area& area : areas) {
        std::vector<Row> inArea;
        for (const Row& row : rows)
            if (row.control &&
                areaOf(areas, row.control->x, row.control->y, row.control->width, row.control->height) == &area)
                inArea.push_back(row);
        if (inArea.empty())
            continue;
        // As they sit on the editor: row by row, left to right.
        std::stable_sort(inArea.begin(), inArea.end(), [](const Row& a, const Row& b) {
            return a.control->y != b.control->y ? a.control->y < b.control->y : a.control->x < b.control->x;
        });
        out += "### " + std::to_string(area.number) + " " + area.name + "\n\n" + table(inArea, notes) + "\n";
    }
    std::vector<Row> elsewhere;
    for (const Row& row : rows)
        if (!row.control || !areaOf(areas, row.control->x, row.control->y, row.control->width, row.control->height))
            elsewhere.push_back(row);
    if (!elsewhere.empty())
        out += "### Not on the editor\n\n" + table(elsewhere, notes) + "\n";
    if (!out.empty())
        out.pop_back(); // no blank line before the end marker
    return out;
}

std::string withGeneratedPart(const std::string& text, const std::string& part, const std::string& content)
{
    const std::string begin = "<!-- generated: " + part + " -->\n";
    const std::string end = "<!-- end of generated: " + part + " -->";
    const std::size_t from = text.find(begin);
    const std::size_t to = from == std::string::npos ? from : text.find(end, from);
    if (to == std::string::npos)
        throw std::runtime_error("no generated part \"" + part + "\" between " + begin.substr(0, begin.size() - 1) +
                                 " and " + end);
    return text.substr(0, from + begin.size()) + content + (content.empty() ? "" : "\n") + text.substr(to);
}

} // namespace Manual

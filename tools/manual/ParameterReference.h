#pragma once
// The manual's parameter reference, written from the plug-in itself: every
// parameter in the editor section that holds its control, with the
// control's caption, the range and default as the plug-in displays them
// (every choice where a parameter has only a few), how a switch changes
// what another parameter means, and a note on what it does. The notes are
// the one part written by hand (docs/parameter-notes.tsv); a parameter
// without a note, or a note for a parameter the plug-in lacks, is an error.

#include <map>
#include <string>

namespace Manual {

// Full parameter name -> what it does (Markdown), from a file of lines
// "Name<TAB>text"; blank lines and lines starting with # are skipped.
using Notes = std::map<std::string, std::string>;
Notes readNotes(const std::string& path);

// The reference as Markdown: one table per editor section, in the order the
// editor's picture numbers them, then the parameters the editor lacks.
std::string parameterReference(const Notes& notes);

// `text` with the lines between "<!-- generated: PART -->" and
// "<!-- end of generated: PART -->" replaced by `content`.
std::string withGeneratedPart(const std::string& text, const std::string& part, const std::string& content);

} // namespace Manual

// Writes the parts of the manual (docs/manual.md) that come from the
// plug-in itself, and checks that the committed copies are current:
//
//   manual_parts text NOTES.tsv BANK.fxb SHEET.tsv MANUAL.md OUT.md
//                                               the manual with its parameter reference and
//                                               its list of the factory programs written in
//   manual_parts waves FOLDER                   a picture of each wave
//   manual_parts areas SCREENSHOT.png OUT.png   the editor with its areas numbered
//   manual_parts check BUILT COMMITTED          whether COMMITTED (docs/) holds what the
//                                               build wrote to BUILT
//
// The build runs the first three into build/docs/ (docs/docs.cmake); `make
// docs` copies that over docs/, and a test runs the check.

#include "manual/FactoryPrograms.h"
#include "manual/ManualPictures.h"
#include "manual/ParameterReference.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::set<std::string> pictures(const fs::path& folder)
{
    std::set<std::string> names;
    if (fs::is_directory(folder))
        for (const fs::directory_entry& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".png")
                names.insert(entry.path().filename().string());
    return names;
}

// The first line where two texts part, numbered from 1.
int firstDifferingLine(const std::string& a, const std::string& b)
{
    int line = 1;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
        line += a[i] == '\n';
    return line;
}

int check(const fs::path& built, const fs::path& committed)
{
    int stale = 0;
    const std::string builtManual = readText((built / "manual.md").string());
    const std::string committedManual = readText((committed / "manual.md").string());
    if (builtManual != committedManual) {
        std::printf("STALE %s: differs from the generated manual from line %d\n", (committed / "manual.md").c_str(),
                    firstDifferingLine(builtManual, committedManual));
        ++stale;
    }
    const std::set<std::string> builtPictures = pictures(built / "images");
    const std::set<std::string> committedPictures = pictures(committed / "images");
    if (builtPictures.empty()) {
        std::printf("STALE %s: the build wrote no pictures\n", (built / "images").c_str());
        ++stale;
    }
    for (const std::string& name : builtPictures) {
        std::string why;
        if (!committedPictures.count(name)) {
            std::printf("STALE %s: missing\n", (committed / "images" / name).c_str());
            ++stale;
        } else if (!Manual::samePicture((built / "images" / name).string(), (committed / "images" / name).string(), 2,
                                        why)) {
            std::printf("STALE %s: %s\n", (committed / "images" / name).c_str(), why.c_str());
            ++stale;
        }
    }
    for (const std::string& name : committedPictures)
        if (!builtPictures.count(name)) {
            std::printf("STALE %s: the build no longer makes it\n", (committed / "images" / name).c_str());
            ++stale;
        }
    if (stale) {
        std::printf("%d generated part(s) of the manual are stale: run `make docs` and commit docs/\n", stale);
        return 1;
    }
    std::printf("the manual and its %zu pictures are as the build writes them\n", builtPictures.size());
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: manual_parts text NOTES.tsv BANK.fxb SHEET.tsv MANUAL.md OUT.md\n"
                         "       manual_parts waves FOLDER\n"
                         "       manual_parts areas SCREENSHOT.png OUT.png\n"
                         "       manual_parts check BUILT_DOCS COMMITTED_DOCS\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "text" && argc == 7) {
            std::string manual = readText(argv[5]);
            manual = Manual::withGeneratedPart(manual, "parameter reference",
                                               Manual::parameterReference(Manual::readNotes(argv[2])));
            manual = Manual::withGeneratedPart(manual, "factory programs", Manual::factoryPrograms(argv[3], argv[4]));
            writeText(argv[6], manual);
            return 0;
        }
        if (command == "waves" && argc == 3) {
            fs::create_directories(argv[2]);
            Manual::writeWavePictures(argv[2]);
            return 0;
        }
        if (command == "areas" && argc == 4) {
            Manual::writeAreaPicture(argv[2], argv[3]);
            return 0;
        }
        if (command == "check" && argc == 4)
            return check(argv[2], argv[3]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "manual_parts: %s\n", e.what());
        return 1;
    }
    return usage();
}

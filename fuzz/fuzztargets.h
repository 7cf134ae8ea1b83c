#pragma once

// The fuzz targets: one entry per reader, each taking one input as libFuzzer hands it over. The
// same functions serve the libFuzzer programs (built with clang, -DORMELIT_FUZZ=ON) and the
// ordinary test that replays the kept inputs and the seeds, so a found fault stays found.
//
// A target checks more than "no crash": what it read must survive our own writer (a project
// saves and reads back the same trees and links, an INI write keeps every other byte, an RTF
// document written by our writer reads back to the same text). A broken promise goes to the
// failure handler: an abort under libFuzzer, a test failure in the replay test.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orm::fuzz {

using TargetFunction = void (*)(const std::uint8_t* data, std::size_t size);

struct Target {
    const char* Name;
    TargetFunction Run;
    bool NeedsGui;  // draws or lays out text: a QGuiApplication must exist
};

// Project file: read; what was read (all, or the part before a fault) writes and reads again.
void Project(const std::uint8_t* data, std::size_t size);
// Settings file: "SECTION\nKEY\nVALUE\n" then the file's bytes. Every key the program reads is
// read; then KEY is written (VALUE "-" removes it): every other byte and key stays.
void Settings(const std::uint8_t* data, std::size_t size);
// ormelit-cli: arguments one a line up to an empty line, then the bytes of the project that the
// argument "P" names. Runs in a private folder; no argument can name a path outside it.
void Cli(const std::uint8_t* data, std::size_t size);
// RTF reader; our writer's output of what was read reads back to the same text.
void Rtf(const std::uint8_t* data, std::size_t size);
// WMF and EMF players, drawing into an image of bounded size.
void Wmf(const std::uint8_t* data, std::size_t size);
void Emf(const std::uint8_t* data, std::size_t size);
// Picture loader: the first byte chooses BMP or ICO, the rest is the file.
void Picture(const std::uint8_t* data, std::size_t size);

// A private folder of this process for the targets that read files, emptied by each input
// that wrote into it and removed at exit.
const std::string& WorkFolder();

// Every target, in a fixed order.
const std::vector<Target>& Targets();
const Target* FindTarget(const std::string& name);

// Reports a broken promise. The default handler prints what and aborts.
void Fail(const char* what);
using FailureHandler = void (*)(const char* what);
void SetFailureHandler(FailureHandler handler);

inline void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

// Seed inputs for a target, made by this program's own writers and generators.
struct Seed {
    std::string Name;
    std::string Bytes;
};
std::vector<Seed> Seeds(const std::string& target);

}  // namespace orm::fuzz

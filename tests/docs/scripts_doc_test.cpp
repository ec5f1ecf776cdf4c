// docs/scripts.md, the user's reference of the script language, against the code: every worked
// example is run through the worksheet runner and prints what the reference shows, and every
// keyword, bus command, choice and message of the code's own tables is named in it.
#include <windows.h>
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "extavik/texts/cmdtexts.h"
#include "extavik/texts/dlgtexts.h"
#include "extavik/data/gpibfields.h"
#include "extavik/script/gpibparse.h"
#include "extavik/texts/modtexts.h"
#include "extavik/script/sendcmd.h"
#include "host/modulefiles.h"
#include "interfaces/bustext.h"
#include "tests/support/childrun.h"

namespace {

const char* const REFERENCE = EXTAVIK_DOCS "/scripts.md";
// Fences of the worked examples: a worksheet, and what the runner prints when it runs it.
const char* const WORKSHEET_FENCE = "```json worksheet ";
const char* const EXPECTED_FENCE = "```text expected ";
const char* const EXAMPLES_DIR = "docs-examples";
const DWORD RUN_LIMIT_MS = 100000;

std::string ReadFile(const char* path)
{
    std::string text;
    if (FILE* f = fopen(path, "rb")) {
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        fclose(f);
    }
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A line as compared: blanks at the ends dropped, every run of blanks inside taken as one.
std::string Normalized(const std::string& line)
{
    std::string out;
    for (char c : line) {
        const bool blank = c == ' ' || c == '\t';
        if (blank && (out.empty() || out.back() == ' ')) continue;
        out += blank ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

struct Example {
    std::string worksheet;
    std::vector<std::string> expected;
    bool hasWorksheet = false, hasExpected = false;
};

// The fenced blocks of the reference, by example name, in the order they first appear.
std::vector<std::pair<std::string, Example>> Examples(const std::string& reference)
{
    std::vector<std::pair<std::string, Example>> examples;
    std::map<std::string, size_t> index;
    const std::vector<std::string> lines = Lines(reference);
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool sheet = lines[i].rfind(WORKSHEET_FENCE, 0) == 0;
        if (!sheet && lines[i].rfind(EXPECTED_FENCE, 0) != 0) continue;
        const std::string name = Normalized(lines[i].substr(strlen(sheet ? WORKSHEET_FENCE : EXPECTED_FENCE)));
        if (!index.count(name)) {
            index[name] = examples.size();
            examples.push_back({name, Example()});
        }
        Example& e = examples[index[name]].second;
        std::string body;
        for (++i; i < lines.size() && lines[i].rfind("```", 0) != 0; ++i) {
            body += lines[i] + "\n";
            if (!sheet && !Normalized(lines[i]).empty()) e.expected.push_back(Normalized(lines[i]));
        }
        EXPECT_FALSE(sheet ? e.hasWorksheet : e.hasExpected) << "example " << name << " has two such blocks";
        (sheet ? e.hasWorksheet : e.hasExpected) = true;
        if (sheet) e.worksheet = body;
    }
    return examples;
}

bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
    return fclose(f) == 0 && written;
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH] = "";
    GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return full;
}

// Why the printed lines do not match: each expected line must be printed, in this order, with
// other lines between them allowed, and every warning printed must be among them.
std::string Mismatch(const std::vector<std::string>& expected, const std::vector<std::string>& printed)
{
    size_t at = 0;
    for (const std::string& want : expected) {
        while (at < printed.size() && printed[at] != want) ++at;
        if (at == printed.size()) return "not printed (in this order): " + want;
        ++at;
    }
    for (const std::string& line : printed) {
        const bool message = line.rfind("warning ", 0) == 0 || line.rfind("internal error", 0) == 0;
        bool shown = false;
        for (const std::string& want : expected) shown = shown || want == line;
        if (message && !shown) return "printed but not shown in the reference: " + line;
    }
    return "";
}

std::string Utf8FromCp932(const char* text)
{
    const int wide = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wide <= 0) return "";
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(932, 0, text, -1, &w[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    out.resize(strlen(out.c_str()));
    return out;
}

struct UserText {
    const char* name;
    const char* text;
};

#define USER_TEXT_ROW(name, text) {#name, name},
const UserText USER_TEXTS[] = {
    COMMAND_TEXT_LIST(USER_TEXT_ROW) MODULE_TEXT_LIST(USER_TEXT_ROW) DIALOG_TEXT_LIST(USER_TEXT_ROW)
};
#undef USER_TEXT_ROW

bool Names(const std::string& reference, const std::string& name)
{
    return reference.find("`" + name + "`") != std::string::npos;
}

}  // namespace

TEST(ScriptsReference, WorkedExamplesPrintWhatTheyShow)
{
    const std::string reference = ReadFile(REFERENCE);
    ASSERT_FALSE(reference.empty()) << REFERENCE;
    const auto examples = Examples(reference);
    ASSERT_GE(examples.size(), 3u) << "the reference shows its worked examples";

    CreateDirectoryA(EXAMPLES_DIR, nullptr);
    const std::string dir = FullPath(EXAMPLES_DIR);
    const std::string runner = FullPath(modulefiles::ProgramDirectory() + "..\\bin\\gpibrun.exe");
    std::vector<ChildCommand> commands;
    for (const auto& [name, e] : examples) {
        ASSERT_TRUE(e.hasWorksheet && e.hasExpected) << "example " << name << " needs a worksheet and its expected output";
        ASSERT_TRUE(WriteText(dir + "\\" + name + ".json", e.worksheet)) << name;
        commands.push_back({"\"" + runner + "\" " + name + ".json --quiet", dir, false});
    }
    const std::vector<ChildRun> runs = RunChildren(commands, RUN_LIMIT_MS);
    for (size_t i = 0; i < examples.size(); ++i) {
        const std::string& name = examples[i].first;
        const ChildRun& run = runs[i];
        ASSERT_EQ(run.waited, WAIT_OBJECT_0) << "example " << name << " did not end:\n" << run.output << run.errors;
        std::vector<std::string> printed;
        for (const std::string& line : Lines(run.output + run.errors)) printed.push_back(Normalized(line));
        EXPECT_EQ(Mismatch(examples[i].second.expected, printed), "")
            << "example " << name << " printed:\n" << run.output << run.errors;
    }
}

TEST(ScriptsReference, NamesEveryKeywordBusCommandChoiceAndMessage)
{
    const std::string reference = ReadFile(REFERENCE);
    ASSERT_FALSE(reference.empty()) << REFERENCE;
    for (const CommandKeyword& k : CommandKeywords)
        EXPECT_TRUE(Names(reference, k.keyword)) << "script command " << k.keyword;
    for (const BusCommand& c : BusCommandTable)
        EXPECT_NE(reference.find(std::string("| `") + c.name + "` |"), std::string::npos)
            << "SENDCMD's bus command " << c.name << " needs its row";
    for (const BusCommandName& c : busCommandNames)
        EXPECT_TRUE(Names(reference, c.name)) << "bus command " << c.name << " of a bus trace";
    for (const GpibField& f : GPIB_FIELDS)
        for (const GpibFieldChoice* c = f.choices; c && c->name; ++c)
            EXPECT_TRUE(Names(reference, c->name)) << "choice " << c->name << " of " << f.name;
    for (const UserText& t : USER_TEXTS) {
        const std::string text = Utf8FromCp932(t.text);
        ASSERT_FALSE(text.empty()) << t.name << " is no code page 932 text";
        // A text of several lines (CR, LF or both between them) is quoted line by line.
        std::string lines = text;
        for (char& c : lines)
            if (c == '\r') c = '\n';
        for (const std::string& line : Lines(lines))
            EXPECT_TRUE(line.empty() || reference.find(line) != std::string::npos) << t.name << " is not quoted: " << line;
    }
}

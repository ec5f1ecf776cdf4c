// Replays a fuzz corpus without the fuzzer: every file of the given directories goes once through
// LLVMFuzzerTestOneInput. A failing check aborts with its file and line; an empty or missing
// corpus fails too, so a wrong path cannot pass unnoticed.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static std::vector<std::string> CorpusFiles(const std::string& dir)
{
    std::vector<std::string> files;
#if defined(_WIN32)
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(dir + "\\" + found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
#else
    DIR* d = opendir(dir.c_str());
    if (!d)
        return files;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            files.push_back(dir + "/" + e->d_name);
    closedir(d);
#endif
    return files;
}

static bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + n);
    fclose(f);
    return true;
}

int main(int argc, char** argv)
{
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const std::string& path : CorpusFiles(argv[i])) {
            std::vector<uint8_t> bytes;
            if (!ReadFile(path, &bytes)) {
                fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            fprintf(stderr, "%s\n", path.c_str());
            // An exactly sized copy, so that an over-read leaves the input as it would under ASan.
            uint8_t* copy = new uint8_t[bytes.size() ? bytes.size() : 1];
            if (!bytes.empty())
                memcpy(copy, bytes.data(), bytes.size());
            LLVMFuzzerTestOneInput(copy, bytes.size());
            delete[] copy;
            ++replayed;
        }
    }
    printf("replayed %u inputs\n", unsigned(replayed));
    return replayed > 0 ? 0 : 1;
}

// Runs a fuzz target's entry function over saved inputs, without libFuzzer,
// so that the ordinary build replays the seed corpus and every input that
// once broke a property. Arguments are files or directories (read one level
// deep, hidden files skipped); a missing directory counts as empty.
// A violated property aborts; the run also fails when it found no input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsUnder(const fs::path& path)
{
    std::vector<fs::path> found;
    if (fs::is_regular_file(path)) {
        found.push_back(path);
    } else if (fs::is_directory(path)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(path))
            if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
                found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string contents(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const fs::path& file : inputsUnder(argv[i])) {
            const std::string bytes = contents(file);
            std::cout << "replay " << file.string() << " (" << bytes.size() << " bytes)" << std::endl;
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    std::cout << replayed << " inputs replayed" << std::endl;
    return replayed > 0 ? 0 : 1;
}

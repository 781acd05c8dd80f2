// datcodec encode|decode <input> <output>
// encode: every byte of every line goes up by one, line ends (LF or CR LF) stay plain.
// decode: the reverse, as the program's readers do it.
#include "config/ShiftedText.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

int usage()
{
    std::cerr << "usage: datcodec encode|decode <input> <output>\n"
                 "  encode  plain text -> byte-shifted data file (config.dat, ication.dat, ptdescr.dat)\n"
                 "  decode  byte-shifted data file -> plain text\n";
    return 2;
}

// Bytes whose shifted form would read as a line end (TAB -> LF, FF -> CR) or as the end of
// the text (0xFF -> NUL) cannot be stored.
bool encodable(std::string_view line, std::size_t lineNumber)
{
    for (unsigned char c : line) {
        if (c == '\t' || c == '\f' || c == 0xFF || c == 0) {
            std::cerr << "line " << lineNumber << ": byte 0x" << std::hex << static_cast<int>(c) << std::dec
                      << " cannot be stored in a shifted file\n";
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return usage();
    const std::string mode = argv[1];
    if (mode != "encode" && mode != "decode")
        return usage();
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[2] << "\n";
        return 1;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string content = buffer.str();

    std::string out;
    std::size_t start = 0;
    std::size_t lineNumber = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const bool hasEnd = end != std::string::npos;
        if (!hasEnd)
            end = content.size();
        std::string_view line(content.data() + start, end - start);
        const bool crlf = !line.empty() && line.back() == '\r';
        if (crlf)
            line.remove_suffix(1);
        ++lineNumber;
        if (mode == "encode") {
            if (!encodable(line, lineNumber))
                return 1;
            out += lumivex::config::shiftLine(line);
        } else {
            out += lumivex::config::unshiftLine(line);
        }
        if (crlf)
            out += '\r';
        if (hasEnd)
            out += '\n';
        start = end + 1;
    }
    std::ofstream file(argv[3], std::ios::binary | std::ios::trunc);
    file << out;
    if (!file.flush()) {
        std::cerr << "cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}

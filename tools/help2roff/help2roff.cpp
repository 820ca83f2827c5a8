// Build-time helper: turns a program's --help text into a manual page (roff, man macros), so
// the page never drifts from the help. Layout of the help it reads: a "Usage:" line (further
// forms of the command on "  or:  " lines right after it), paragraphs,
// headings ending with a colon, two-space indented items ("  -x, --long=ARG   text", "  0   text")
// with continuation lines indented further, and an "Examples:" section of command lines.
//   help2roff PROGRAM "ONE-LINE SUMMARY" OUTPUT
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Run(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    if (!pipe) return output;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), pipe.get())) > 0) output.append(chunk, n);
    return output;
}

// Backslashes and hyphens escaped; a line never starts a request by accident.
std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first);
}

// Items start at most six columns in ("  -x, --long" or "      --long"); their text continues
// further in.
constexpr size_t kContinuationIndent = 8;

// "Section name:" on a line of its own.
bool IsHeading(const std::string& line) {
    return !line.empty() && std::isupper(static_cast<unsigned char>(line[0])) &&
           line.back() == ':' && line.find(':') == line.size() - 1;
}

void Convert(const std::string& help, const std::string& name, const std::string& summary,
             const std::string& version, std::ostream& out) {
    std::istringstream lines(help);
    std::string line;
    out << ".TH " << Upper(name) << " 1 \"\" \"" << Escape(version) << "\" \"User Commands\"\n";
    out << ".SH NAME\n" << Escape(name) << " \\- " << Escape(summary) << "\n";
    bool examples = false;
    bool paragraph = false;
    bool synopsis = false;
    while (std::getline(lines, line)) {
        if (synopsis && line.starts_with("  or: ")) {
            out << ".br\n" << Escape(Trim(line.substr(6))) << "\n";
            continue;
        }
        if (synopsis) out << ".SH DESCRIPTION\n";
        synopsis = false;
        if (line.starts_with("Usage: ")) {
            out << ".SH SYNOPSIS\n" << Escape(line.substr(7)) << "\n";
            synopsis = true;
            paragraph = true;
        } else if (line.empty()) {
            if (examples) out << ".fi\n";
            examples = false;
            paragraph = false;
        } else if (IsHeading(line)) {
            const std::string title = Upper(line.substr(0, line.size() - 1));
            out << ".SH \"" << Escape(title) << "\"\n";
            examples = title == "EXAMPLES";
            if (examples) out << ".nf\n";
        } else if (examples) {
            out << Escape(Trim(line)) << "\n";
        } else if (line.find_first_not_of(' ') >= kContinuationIndent) {
            out << Escape(Trim(line)) << "\n";  // continuation of an item's text
        } else if (line.starts_with("  ")) {
            // "  TAG   text": the tag ends at the first run of two spaces.
            const std::string item = Trim(line);
            const size_t gap = item.find("  ");
            out << ".TP\n.B " << Escape(item.substr(0, gap)) << "\n";
            if (gap != std::string::npos) out << Escape(Trim(item.substr(gap))) << "\n";
        } else {
            if (!paragraph) out << ".PP\n";
            paragraph = true;
            out << Escape(line) << "\n";
        }
    }
    if (examples) out << ".fi\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: help2roff PROGRAM SUMMARY OUTPUT\n");
        return 2;
    }
    const std::string program = argv[1];
    const std::string help = Run("'" + program + "' --help");
    std::string version = Run("'" + program + "' --version");
    version = version.substr(0, version.find('\n'));
    if (help.find("Usage: ") != 0 || version.empty()) {
        std::fprintf(stderr, "help2roff: %s gave no usable --help / --version\n", argv[1]);
        return 1;
    }
    const std::string name = program.substr(program.find_last_of('/') + 1);
    std::ofstream out(argv[3], std::ios::trunc);
    Convert(help, name, argv[2], version, out);
    out.close();
    return out ? 0 : 1;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Subprocess.h"

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

// What poppler's tools read from a PDF file.
namespace PdfProbe {

// Everything a process writes to its standard output, until it closes it.
inline std::string toolOutputOf(Subprocess& tool) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string line = tool.nextLine(30000);
        if (line.empty() && tool.outputEnded())
            break;
        text += line + '\n';
    }
    return text;
}

inline std::string toolOutput(const std::string& program,
                              const std::vector<std::string>& arguments) {
    Subprocess tool(program, arguments);
    std::string text = toolOutputOf(tool);
    tool.wait();
    return text;
}

// The size of every page as pdfinfo names it, "A4" for instance; empty when it names none.
inline std::vector<std::string> pageSizes(const std::string& pdf) {
    std::istringstream info(toolOutput("/usr/bin/pdfinfo", {"-f", "1", "-l", "1000", pdf}));
    std::vector<std::string> sizes;
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("Page ", 0) != 0 || line.find(" size:") == std::string::npos)
            continue;
        const auto open = line.rfind('(');
        const auto close = line.rfind(')');
        sizes.push_back(open != std::string::npos && close > open
                            ? line.substr(open + 1, close - open - 1)
                            : std::string());
    }
    return sizes;
}

inline std::string pageText(const std::string& pdf, int page) {
    const std::string number = std::to_string(page);
    // In layout mode a line of the page stays one line of text: a caption and its value too.
    std::string text =
        toolOutput("/usr/bin/pdftotext", {"-layout", "-f", number, "-l", number, pdf, "-"});
    // The font sets "fi" and "fl" as ligatures; the text the program wrote has the letters.
    for (const auto& [ligature, letters] : {std::pair<std::string, std::string>{"\uFB01", "fi"},
                                            std::pair<std::string, std::string>{"\uFB02", "fl"}})
        for (auto at = text.find(ligature); at != std::string::npos; at = text.find(ligature, at))
            text.replace(at, ligature.size(), letters);
    return text;
}

// The words of a page, each as pdftotext separates them.
inline std::vector<std::string> pageWords(const std::string& pdf, int page) {
    std::istringstream text(pageText(pdf, page));
    std::vector<std::string> words;
    for (std::string word; text >> word;)
        words.push_back(word);
    return words;
}

// A word of a page and its box, in points from the page's top left corner.
struct WordBox {
    std::string word; // as pdftotext writes it in its XML: "&quot;" for a double quote
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

inline std::vector<WordBox> wordBoxes(const std::string& pdf, int page) {
    const std::string number = std::to_string(page);
    const std::string text =
        toolOutput("/usr/bin/pdftotext", {"-bbox", "-f", number, "-l", number, pdf, "-"});
    const std::regex word(
        R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" yMax="([-\d.]+)">(.*)</word>)re");
    std::vector<WordBox> boxes;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word);
         it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        boxes.push_back({m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])});
    }
    return boxes;
}

} // namespace PdfProbe

// Writes a show folder as a web page: index.html (the page template with the
// show's file names), zolt.js and zolt.wasm from the browser build, the
// script and the pack as they are, and the music as Ogg Vorbis.
#pragma once

#include <string>

struct WebExportOptions {
    std::string showDir = ".";
    std::string outDir;
    std::string engineDir;  // holds zolt.js and zolt.wasm
};

// 0 when every file was written; 1 after a one-line message on standard
// error, with the files written so far removed again.
int ExportWebShow(const WebExportOptions& options);

// The page template (web/page/index.html), compiled in.
extern const char kPageTemplate[];

// The page for a show: the template with its file list in place of the
// default one. Empty when the template holds no file list.
std::string MakePage(const std::string& musicFile, const std::string& musicName);

// A JSON string literal of `text` that is also safe inside a script element.
std::string JsonString(const std::string& text);

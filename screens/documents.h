// The document browser's page writer: HTML pages that the game writes for
// the browser to show (the ship's log dump).
//
// The browser itself (its pages, links and drawing) is still to come; the
// writer is what other modules call today.
#pragma once

#include <cstdio>

// Creates the file (a data path) and writes the page's head, title and
// heading; null when the file cannot be created.
std::FILE* HtmlOpenPage(const char* fileName, const char* title, const char* heading);
// One line of the page, followed by a line break.
void HtmlWriteLine(std::FILE* file, const char* text);
// Writes the page's foot with its link back home and closes the file.
void HtmlClosePage(std::FILE* file);

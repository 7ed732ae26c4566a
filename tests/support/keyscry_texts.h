// What a user of Keyscry sees and a test pins, written out here once, letter
// for letter, rather than taken from the product: a changed text must fail.
#pragma once

inline const char KeyscryClass[] = "Keyscry_Class";
inline const char KeyscryTitle[] = "Keyscry - CryptoAPI Service Providers";

// The warning of a start that finds another instance, and its caption.
inline const char AlreadyRunningText[] = "This program is already running...";
inline const char AlreadyRunningCaption[] = "Keyscry";

// The message of a refresh whose provider can't be opened; its caption is
// the window's title.
inline const char OpenFailedText[] = "Impossible to open a Crytographic_Service_Provider !!!";

inline const char AboutCaption[] = "About";
// The About box's text, line by line, each line ended by CR LF; null stands
// for a credit line, whose wording is free.
inline const char* const AboutLines[] = {
    "Keyscry",
    "Version 1.0",
    "",
    "Originally created by ",
    nullptr,
    "",
    "Contributor:",
    nullptr,
    "",
    "",
    "This tool enumerates Crypto Service Providers.",
    "",
};

// The label above the algorithm list, in the list's fixed-pitch font.
inline const char ColumnHeaderText[] =
    " Algorithm        Proto  Description         Info length(bits):   Min    Max  Default";

#pragma once
// Font files as JSON and back. The JSON holds every field the font record holds, glyph maps in
// file order (bucket by bucket, each tree node first, then larger, then smaller codes, so that
// inserting them in that order rebuilds every tree's shape) and pages as width, height and their
// RGBA pixels in base64:
//
//   {"requestedSize": 12, "lineHeight": 16, "face": "SimSun", "useBitmapFont": false,
//    "outline": false, "secondName": "", "regenerate": true,
//    "atlas": {"cursorX": 2, "cursorY": 2, "rowHeight": 16, "pageWidth": 512, "pageHeight": 512,
//              "fillingPage": 0, "outline": false,
//              "glyphs": [{"code": 65, "page": 0, "left": 2, "right": 9, "top": 2, "bottom": 14}],
//              "pages": [{"width": 512, "height": 512, "rgba": "AAAA..."}]},
//    "bitmapFont": {"image": "", "glyphs": [{"code": 65, "left": 0, "right": 8, "top": 0, "bottom": 9}]}}
//
// Names in the game's code page appear as JSON text when they convert to UTF-8 and back
// unchanged, otherwise as {"hex": "..."}.

#include <nlohmann/json.hpp>
#include <string>

class CKVQFont;

using FontJson = nlohmann::ordered_json;

FontJson FontToJson(CKVQFont& font);
// Fills a new font (no create callback) from the JSON; false with error naming the JSON path and
// the problem ("/atlas/pages/0/rgba: 12 bytes, 16 expected").
bool FontFromJson(const FontJson& json, CKVQFont& font, std::string& error);

#pragma once
// The HTML body file of an event: a whole document made of the HEAD section, a body tag
// built from the page properties and the editor's body HTML. The processor sends the file
// as it stands, so what is written here is what subscribers get. Reading the head and the
// page properties back out of a document serves loading, imports and templates alike.
#include "control/events/PageProperties.h"

#include <string>
#include <string_view>

namespace ar {

// The value of one attribute of the document's body tag: the first "<body " (any letter
// case), then the attribute name with a blank in front (so "link" is not taken for
// "alink"), found before the end of the tag; the value is the text between the first two
// double quotes after its "=", trimmed of blanks. Empty when any of these is missing, so
// values without double quotes are not read.
std::string ReadPageProperty(std::string_view document, std::string_view attribute);

// The text between "<HEAD>" and "</HEAD>" (any letter case), without the line breaks and
// blanks at both ends; empty when either tag is missing.
std::string ReadHeadText(std::string_view document);

// The head and the five page properties of a document. Each is read on its own, so a value
// that is no colour (bgcolor="white") does not blank the others.
PageProperties ReadPageProperties(std::string_view document);

// "<BODY" with the properties that are not empty, in the order bgcolor, background, link,
// alink, vlink, each as name="value" after a blank, then ">".
std::string BodyTag(const PageProperties& properties);

// The file written from the visual editor: "<HEAD>", the head, "</HEAD>", the body tag,
// the body HTML and "</BODY>", lines ended by CR LF. One line break at either end of the
// body HTML is left out: it is the one the file's own layout puts there, which a browser
// reads back into the body.
std::string BuildHtmlBodyFile(const PageProperties& properties, std::string_view bodyHtml);

// The file written while the visual editor is off: the HTML text as it stands, then CR LF
// unless it ends with a line break already.
std::string HtmlOnlyBodyFile(std::string_view html);

}  // namespace ar

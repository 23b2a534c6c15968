#pragma once
// The language files keep file-dialog filters as "Description|pattern|...||";
// Qt's file dialogs want "Description (pattern);;...".

#include <string>

namespace qt40 {

// "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||" becomes
// "Text Files (*.txt);;All Files (*.*)"; a description without its patterns
// gets them appended in parentheses. A text without '|' is taken as one
// Qt filter already.
std::string QtFileFilter(const std::string& filter);

}  // namespace qt40

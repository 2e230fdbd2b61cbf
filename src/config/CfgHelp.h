#pragma once
// The user guide: an HTML file named by the machine-wide "Help" value, opened in the
// desktop's browser at the topic of a help context.

#include <QString>
#include <QUrl>

#include <string>

// The guide's file: the machine-wide "Help" value, relative to the machine hive's folder when
// it is not absolute; empty when the value is missing.
std::string ReadHelpFile();

// The anchor of a help context in the guide; empty for a context without one.
QString HelpAnchor(int context);
// The file's URL with the context's anchor.
QUrl HelpTopicUrl(const std::string& helpFile, int context);

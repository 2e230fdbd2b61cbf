#include "config/PresetName.h"

#include "util/AsciiCase.h"

std::optional<QString> PresetNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QString("Please enter a name.");
    if (name.contains('/') || name.contains('\\') || name.contains('\n') || name.contains('\r'))
        return QString("A name cannot contain \"/\", \"\\\" or a line break.");
    const QByteArray utf8 = name.toUtf8();
    if (StartsWithNoCase(std::string_view(utf8.constData(), size_t(utf8.size())), "_Active"))
        return QString("Names beginning with \"_Active\" are reserved for the active settings.");
    if (utf8.size() > kMaxPresetNameBytes)
        return QString("The name is too long: at most %1 bytes are allowed.").arg(kMaxPresetNameBytes);
    return std::nullopt;
}

#include "config/PresetName.h"

std::optional<QString> PresetNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QString("Please enter a name.");
    if (name.contains('/') || name.contains('\\') || name.contains('\n') || name.contains('\r'))
        return QString("A name cannot contain \"/\", \"\\\" or a line break.");
    if (name.startsWith("_Active", Qt::CaseInsensitive))
        return QString("Names beginning with \"_Active\" are reserved for the active settings.");
    if (name.toUtf8().size() > kMaxPresetNameBytes)
        return QString("The name is too long: at most %1 bytes are allowed.").arg(kMaxPresetNameBytes);
    return std::nullopt;
}

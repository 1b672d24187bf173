#include "storage/paste_key_rules.h"
#include "platform/profile.h"
#include "storage/profile_access.h"
#include "storage/text_codec.h"
#include <QStringList>

namespace storage {

std::vector<PasteKeyRule> readPasteKeyRules(const std::filesystem::path& settingsFile) {
    std::vector<PasteKeyRule> rules;
    QStringList seen;
    for (const std::string& name : platform::profile::keyNames(toCp932(kPasteKeysSection), settingsFile)) {
        const QString windowClass = fromCp932(name);
        if (windowClass.isEmpty() || seen.contains(windowClass, Qt::CaseInsensitive))
            continue;
        seen << windowClass;
        const QString keys = ReadProfileString(kPasteKeysSection, windowClass, settingsFile, QString());
        rules.push_back({windowClass.toStdString(), keys.toStdString()});
    }
    return rules;
}

} // namespace storage

#include "app/store/dictionary/dictionaryinfo.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/storeerror.h"

namespace qm::store {

DictionarySummary summarizeDictionary(const QString &path)
{
    Dictionary::Options options;
    options.readOnly = true;
    Dictionary dictionary(path, options);
    DictionarySummary s;
    s.name = dictionary.name();
    s.keywordCount = dictionary.property(QStringLiteral("IndexRecordCount")).toInt();
    s.documentCount = dictionary.property(QStringLiteral("DocumentRecordCount")).toInt();
    return s;
}

} // namespace qm::store

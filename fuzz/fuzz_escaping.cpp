// Fuzzes the XML escaping of vCard values: whatever the value, the escaped text placed
// inside an element of a UTF-8 document must parse as well-formed XML, hold no character
// that XML 1.0 forbids, and start with at most the one blank the rule keeps.
#include "fuzz_util.h"
#include "kzmain/contactxml.h"
#include <QXmlStreamReader>

namespace {

bool xmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString value = fuzzText(QByteArrayView(data, qsizetype(size)));
    const QString escaped = TraiteLigneContact(value);
    if (value.isEmpty())
        FUZZ_CHECK(escaped.isEmpty());

    for (char32_t c : escaped.toUcs4())
        FUZZ_CHECK(xmlChar(c));
    FUZZ_CHECK(!escaped.contains(u'<') && !escaped.contains(u'>'));

    const QByteArray doc = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                             "<c:contact xmlns:c=\"http://schemas.microsoft.com/Contact\">"
                                             "<c:Value c:ElementID=\"1\">") +
                           escaped.toUtf8() + QByteArrayLiteral("</c:Value></c:contact>\r\n");
    QXmlStreamReader xml(doc);
    int elements = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            ++elements;
    }
    if (xml.hasError()) {
        std::fprintf(stderr, "XML error: %s\n", qPrintable(xml.errorString()));
        FUZZ_CHECK(!xml.hasError());
    }
    FUZZ_CHECK(elements == 2);
    return 0;
}

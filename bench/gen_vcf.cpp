// gen_vcf: writes realistic vCard files for the benchmark, the same bytes for the same seed.
//
//   gen_vcf --cards N [--seed S] [--mix old|real] [--out FILE]   one file of N cards (standard output by default)
//   gen_vcf --split-dir DIR --cards N [--seed S] [--mix old|real]  N files of one card each: 00001.vcf...
//
// --mix old (the default) mixes vCard 2.1 (quoted-printable, MyPhoneExplorer habits) and 3.0
// (Google habits: item1. groups with X-ABLabel lines), names in many scripts (UTF-8, no byte-order
// mark), several TEL, EMAIL and ADR lines with TYPE parameters, vendor X- lines, some of them with
// X-SYNC parameters, and about one card in ten with a folded base64 photo of 4 to 20 KB. Every
// line ends with CR LF.
//
// --mix real writes cards shaped like real phone and address-book exports, each dominated by 8 to
// 20 vendor lines (X-ANDROID-CUSTOM, X-MS-*, X-EVOLUTION-*, X-PHONETIC-*, X-SKYPE, X-AIM, ...):
//   - vCard 2.1 as Android writes it (CHARSET=UTF-8 quoted-printable, blanks as =20, soft line
//     breaks) and as Outlook does (LABEL lines, text in ISO-8859-1, windows-1251, KOI8-R or
//     Shift_JIS, raw or quoted-printable), bare parameter words (TEL;CELL;PREF, EMAIL;INTERNET);
//   - vCard 3.0 as Apple writes it (PRODID, itemN. groups with X-ABLabel and X-ABADR, X-ABUID),
//     four cards in ten with every line ending in CR CR LF as iPhone exports do; photos folded
//     with one blank or, Mac style, on lines of two blanks;
//   - vCard 4.0 (UID:urn:uuid:, KIND, GENDER, TEL;VALUE=uri, ADR with a quoted LABEL, photos as
//     data: URIs or https links).
// About one card in ten has a base64 photo of 4 to 20 KB, as in the old mix; the cards are about
// as large on average as the old mix's.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// splitmix64: small, fast and fully determined by its seed.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value in [0, n).
    uint32_t below(uint32_t n) { return uint32_t((uint64_t(uint32_t(next() >> 32)) * n) >> 32); }
    // A value in [lo, hi].
    int between(int lo, int hi) { return lo + int(below(uint32_t(hi - lo + 1))); }
    bool chance(int percent) { return below(100) < uint32_t(percent); }
    template <typename T, size_t N> const T& pick(const T (&items)[N]) { return items[below(N)]; }

private:
    uint64_t state;
};

// One language's pools. A name is "written form|ASCII form"; the ASCII form builds addresses.
struct Locale {
    const char* lang;
    const char* const* given;
    int givenCount;
    const char* const* family;
    int familyCount;
    const char* const* cities;
    int cityCount;
    const char* const* streets;
    int streetCount;
    const char* country;
    const char* phonePrefix;
    const char* tld;
};

#define POOL(name, ...)                                                                                                \
    const char* const name[] = {__VA_ARGS__};                                                                          \
    constexpr int name##Count = int(sizeof(name) / sizeof(name[0]));

POOL(frGiven, "Jérôme|jerome", "Amélie|amelie", "François|francois", "Hélène|helene", "Gaëlle|gaelle", "Cécile|cecile",
     "Benoît|benoit", "Noël|noel", "Zoé|zoe", "Léa|lea", "Anaïs|anais", "Loïc|loic", "Marie-Thérèse|marie-therese",
     "Jean|jean", "Élodie|elodie")
POOL(frFamily, "Dupont|dupont", "Lefèvre|lefevre", "Bérenger|berenger", "Mercier|mercier", "Garçon|garcon",
     "Rousseau|rousseau", "Lemaître|lemaitre", "Bœuf|boeuf", "Dubois-Rézé|dubois-reze", "Périer|perier",
     "Château|chateau", "Giraud|giraud")
POOL(frCities, "Paris", "Lyon", "Besançon", "Orléans", "Nîmes", "Saint-Étienne", "Montréal", "Genève")
POOL(frStreets, "12 rue de la Paix", "4 bis avenue Édouard-Herriot", "27 boulevard Saint-Michel", "8 place du Marché",
     "135 chemin des Écoliers", "3 allée des Châtaigniers")

POOL(deGiven, "Jürgen|juergen", "Björn|bjoern", "Käthe|kaethe", "Günther|guenther", "Lukas|lukas", "Sophie|sophie",
     "Jörg|joerg", "Anneliese|anneliese", "Maximilian|maximilian", "Ursula|ursula")
POOL(deFamily, "Müller|mueller", "Schäfer|schaefer", "Weiß|weiss", "Größe|groesse", "Strauß|strauss",
     "Özdemir|oezdemir", "Hönig|hoenig", "Schmidt|schmidt", "Bäcker|baecker", "Fischer|fischer")
POOL(deCities, "München", "Köln", "Düsseldorf", "Nürnberg", "Berlin", "Zürich", "Wien", "Lübeck")
POOL(deStreets, "Hauptstraße 5", "Bahnhofstraße 17a", "Am Mühlbach 3", "Königsallee 92", "Schloßgasse 11",
     "Große Ulrichstraße 40")

POOL(plGiven, "Łukasz|lukasz", "Wojciech|wojciech", "Małgorzata|malgorzata", "Zofia|zofia", "Krzysztof|krzysztof",
     "Agnieszka|agnieszka", "Paweł|pawel", "Jędrzej|jedrzej", "Żaneta|zaneta")
POOL(plFamily, "Wiśniewski|wisniewski", "Wójcik|wojcik", "Dąbrowski|dabrowski", "Kowalczyk|kowalczyk",
     "Szymańska|szymanska", "Żak|zak", "Gołębiowska|golebiowska", "Król|krol")
POOL(plCities, "Kraków", "Łódź", "Gdańsk", "Wrocław", "Poznań", "Białystok", "Toruń")
POOL(plStreets, "ul. Świętokrzyska 14", "ul. Żeromskiego 3/7", "al. Jerozolimskie 65", "ul. Długa 22", "pl. Wolności 1")

POOL(elGiven, "Γιώργος|giorgos", "Μαρία|maria", "Δημήτρης|dimitris", "Ελένη|eleni", "Νίκος|nikos", "Κατερίνα|katerina",
     "Σπύρος|spyros")
POOL(elFamily, "Παπαδόπουλος|papadopoulos", "Οικονόμου|oikonomou", "Γεωργίου|georgiou", "Βασιλείου|vasileiou",
     "Αντωνίου|antoniou", "Καραγιάννη|karagianni")
POOL(elCities, "Αθήνα", "Θεσσαλονίκη", "Πάτρα", "Ηράκλειο", "Λάρισα")
POOL(elStreets, "Οδός Ερμού 15", "Λεωφόρος Συγγρού 110", "Οδός Αιόλου 8", "Πλατεία Αριστοτέλους 2")

POOL(ruGiven, "Александр|aleksandr", "Наталья|natalya", "Дмитрий|dmitry", "Ольга|olga", "Сергей|sergey",
     "Екатерина|ekaterina", "Юрий|yuri", "Татьяна|tatyana")
POOL(ruFamily, "Иванов|ivanov", "Смирнова|smirnova", "Кузнецов|kuznetsov", "Попова|popova", "Соколов|sokolov",
     "Шевченко|shevchenko", "Жуков|zhukov", "Фёдорова|fedorova")
POOL(ruCities, "Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань", "Київ")
POOL(ruStreets, "ул. Тверская, д. 7", "Невский проспект, д. 28", "ул. Ленина, д. 15, кв. 4", "пр. Мира, д. 101")

POOL(cjkGiven, "太郎|taro", "花子|hanako", "伟|wei", "芳|fang", "민준|minjun", "서연|seoyeon", "翔太|shota",
     "秀英|xiuying")
POOL(cjkFamily, "山田|yamada", "佐藤|sato", "王|wang", "李|li", "김|kim", "박|park", "鈴木|suzuki", "張|zhang")
POOL(cjkCities, "東京都", "大阪市", "北京市", "上海市", "서울특별시", "부산광역시", "京都市")
POOL(cjkStreets, "千代田区丸の内1-9-2", "朝阳区建国路88号", "강남구 테헤란로 152", "中央区銀座4-6-16",
     "浦东新区世纪大道100号")

POOL(arGiven, "محمد|mohamed", "فاطمة|fatima", "أحمد|ahmed", "ليلى|leila", "يوسف|youssef", "مريم|mariam")
POOL(arFamily, "العلي|alali", "حداد|haddad", "الخطيب|alkhatib", "منصور|mansour", "الحسيني|alhusseini")
POOL(arCities, "القاهرة", "الدار البيضاء", "بيروت", "دبي", "تونس")
POOL(arStreets, "شارع الحمراء 12", "طريق الملك فهد 45", "شارع محمد الخامس 7")

POOL(enGiven, "John|john", "Mary|mary", "Robert|robert", "Patricia|patricia", "Michael|michael", "Jennifer|jennifer",
     "William|william", "Linda|linda", "David|david", "Susan|susan")
POOL(enFamily, "Smith|smith", "Johnson|johnson", "Williams|williams", "Brown|brown", "O'Neill|oneill", "Taylor|taylor",
     "Anderson|anderson", "Clarke|clarke")
POOL(enCities, "London", "Manchester", "New York", "Springfield", "Toronto", "Sydney")
POOL(enStreets, "221B Baker Street", "10 Downing Street", "742 Evergreen Terrace", "1600 Amphitheatre Pkwy",
     "12 High Street, Flat 3")

#define LOCALE(p, lang, country, phone, tld)                                                                           \
    Locale {                                                                                                           \
        lang, p##Given, p##GivenCount, p##Family, p##FamilyCount, p##Cities, p##CitiesCount, p##Streets,               \
            p##StreetsCount, country, phone, tld                                                                       \
    }

const Locale locales[] = {
    LOCALE(fr, "fr", "France", "+33", "fr"), LOCALE(de, "de", "Deutschland", "+49", "de"),
    LOCALE(pl, "pl", "Polska", "+48", "pl"), LOCALE(el, "el", "Ελλάδα", "+30", "gr"),
    LOCALE(ru, "ru", "Россия", "+7", "ru"),  LOCALE(cjk, "ja", "日本", "+81", "jp"),
    LOCALE(ar, "ar", "مصر", "+20", "eg"),    LOCALE(en, "en", "United Kingdom", "+44", "co.uk"),
};
// Latin names are the most common in a real address book.
const int localeWeights[] = {26, 14, 9, 6, 8, 7, 5, 25};

const char* const companies[] = {"Société Générale",
                                 "Müller & Söhne GmbH",
                                 "Przedsiębiorstwo Budowlane Łęczna",
                                 "Ολυμπιακή Α.Ε.",
                                 "ООО «Ромашка»",
                                 "株式会社サンプル",
                                 "شركة النور للتجارة",
                                 "Acme Corp.",
                                 "Boulangerie Pâtissière du Coin",
                                 "Initech; Software Division",
                                 "Garage Renault, Agence Centrale",
                                 "Universität Heidelberg"};
const char* const titles[] = {"Directeur général", "Ingénieure d'études", "Geschäftsführer", "Kierownik projektu",
                              "Λογιστής",          "Главный инженер",     "営業部長",        "مدير المبيعات",
                              "Software Engineer", "Head of Marketing",   "Stagiaire",       "Expert-comptable"};
const char* const mailDomains[] = {"gmail.com", "yahoo", "orange", "web", "outlook.com", "mail", "free", "proton.me"};
const char* const noteWords[] = {
    "Rappeler", "avant",     "vendredi", "réunion", "à",         "la",    "mairie", "über",    "das",   "Angebot",
    "sprechen", "spotkanie", "w",        "środę",   "συνάντηση", "την",   "Τρίτη",  "встреча", "в",     "офисе",
    "会議",     "は",        "月曜日",   "اجتماع",  "يوم",       "الأحد", "call",   "back",    "about", "the",
    "invoice",  "code",      "porte",    "1234B",   "étage",     "3,",    "gauche", "—",       "n°",    "42;",
    "prix:",    "12,50 €",   "(urgent)", "x=3",     "«oui»",     "ça",    "marche"};
const char* const labels[] = {"Perso", "Bureau",  "Maison de campagne", "Ferienwohnung", "Biuro", "Γραφείο", "Дача",
                              "自宅",  "Old job", "Assistant(e)"};

// One line: the text, then CR LF.
void line(QByteArray& out, const QByteArray& text) {
    out += text;
    out += "\r\n";
}

// Length of the UTF-8 sequence that starts with byte c.
int utf8Length(unsigned char c) {
    return c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

bool isAscii(const QByteArray& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// vCard 3.0 folding: lines of at most 75 bytes, continuation lines start with one blank;
// a UTF-8 sequence is never cut in two.
void folded(QByteArray& out, const QByteArray& text) {
    int pos = 0;
    int limit = 75;
    while (true) {
        int end = pos;
        while (end < text.size()) {
            int n = utf8Length(static_cast<unsigned char>(text[end]));
            if (end - pos + n > limit)
                break;
            end += n;
        }
        if (pos > 0)
            out += ' ';
        out += text.mid(pos, end - pos);
        out += "\r\n";
        if (end >= text.size())
            break;
        pos = end;
        limit = 74;
    }
}

// Quoted-printable as vCard 2.1 writers do it: every byte outside printable ASCII, "=" and a
// trailing blank encoded (every blank with `blanks`, as Android does), lines of at most 76
// characters ending in a soft break "=".
void quotedPrintable(QByteArray& out, const QByteArray& head, const QByteArray& value, bool blanks = false) {
    static const char hex[] = "0123456789ABCDEF";
    QByteArray current = head;
    for (int i = 0; i < value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(value[i]);
        char piece[4];
        int n = 0;
        const bool last = i + 1 == value.size();
        if (c == '=' || c < 0x20 || c >= 0x7F || (c == ' ' && (last || blanks))) {
            piece[0] = '=';
            piece[1] = hex[c >> 4];
            piece[2] = hex[c & 15];
            n = 3;
        } else {
            piece[0] = char(c);
            n = 1;
        }
        if (current.size() + n > 75) {
            current += '=';
            line(out, current);
            current.clear();
        }
        current.append(piece, n);
    }
    line(out, current);
}

// Escapes a text value of vCard 3.0 (backslash, comma, semicolon, newline).
QByteArray escaped(const QByteArray& text) {
    QByteArray result;
    result.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\\' || c == ',' || c == ';') {
            result += '\\';
            result += c;
        } else if (c == '\n') {
            result += "\\n";
        } else {
            result += c;
        }
    }
    return result;
}

QByteArray written(const char* entry) {
    const char* bar = std::strchr(entry, '|');
    return QByteArray(entry, int(bar - entry));
}

QByteArray ascii(const char* entry) {
    return QByteArray(std::strchr(entry, '|') + 1);
}

const Locale& pickLocale(Random& random) {
    int total = 0;
    for (int w : localeWeights)
        total += w;
    int roll = int(random.below(uint32_t(total)));
    for (size_t i = 0; i < sizeof(localeWeights) / sizeof(localeWeights[0]); ++i) {
        if (roll < localeWeights[i])
            return locales[i];
        roll -= localeWeights[i];
    }
    return locales[0];
}

QByteArray phoneNumber(Random& random, const Locale& locale) {
    QByteArray number;
    if (random.chance(60)) {
        number = locale.phonePrefix;
        number += ' ';
    } else {
        number = "0";
    }
    number += QByteArray::number(random.between(1, 9));
    for (int group = 0; group < 4; ++group) {
        number += random.chance(70) ? " " : (random.chance(50) ? "-" : "");
        number += QByteArray::number(random.between(0, 99)).rightJustified(2, '0');
    }
    return number;
}

QByteArray mailAddress(Random& random, const Locale& locale, const QByteArray& given, const QByteArray& family) {
    QByteArray address;
    switch (random.below(4)) {
    case 0:
        address = given + '.' + family;
        break;
    case 1:
        address = given.left(1) + family;
        break;
    case 2:
        address = family + QByteArray::number(random.between(1, 99));
        break;
    default:
        address = given + '_' + family.left(3) + QByteArray::number(random.between(1950, 2010));
        break;
    }
    address += '@';
    QByteArray domain = random.pick(mailDomains);
    if (!domain.contains('.'))
        domain += QByteArray(".") + locale.tld;
    return address + domain;
}

QByteArray noteText(Random& random, int words) {
    QByteArray text;
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            text += (random.chance(8) ? "\n" : " ");
        text += random.pick(noteWords);
    }
    return text;
}

// A photo: a JPEG header then random bytes, 4 to 20 KB.
QByteArray photoBytes(Random& random) {
    const int size = random.between(4 * 1024, 20 * 1024);
    QByteArray data(size, Qt::Uninitialized);
    static const unsigned char header[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
    for (int i = 0; i < size; i += 8) {
        const uint64_t bits = random.next();
        for (int k = 0; k < 8 && i + k < size; ++k)
            data[i + k] = char(bits >> (8 * k));
    }
    std::memcpy(data.data(), header, sizeof(header));
    return data;
}

// The base64 photo: the head and the first characters on one line of at most 76 characters,
// then continuation lines of one blank and 76 characters.
void photo(QByteArray& out, const QByteArray& head, const QByteArray& data) {
    const QByteArray b64 = data.toBase64();
    int first = qMax(0, int(76 - head.size()));
    line(out, head + b64.left(first));
    for (int pos = first; pos < b64.size(); pos += 76)
        line(out, ' ' + b64.mid(pos, 76));
}

// 2.1 text property: raw UTF-8 with CHARSET, or quoted-printable (MyPhoneExplorer style).
void property21(Random& random, QByteArray& out, const QByteArray& name, const QByteArray& value) {
    if (isAscii(value) && !value.contains('\n')) {
        line(out, name + ':' + value);
    } else if (random.chance(70) || value.contains('\n')) {
        quotedPrintable(out, name + ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:", value);
    } else {
        line(out, name + ";CHARSET=UTF-8:" + value);
    }
}

// One card of the old mix being written, and the person on it.
struct Old {
    Random& random;
    QByteArray& out;
    const Locale& locale;
    QByteArray givenAscii, familyAscii;
    bool v21;
};

// Telephones: one to four, with their types.
void oldPhones(Old& c) {
    static const char* const types21[] = {"CELL", "HOME", "WORK", "CELL;PREF", "HOME;VOICE", "WORK;FAX", "PAGER"};
    static const char* const types30[] = {"CELL", "HOME", "WORK", "CELL,VOICE", "WORK,FAX", "HOME,VOICE", "MAIN"};
    Random& random = c.random;
    const int phones = random.between(1, 4);
    for (int i = 0; i < phones; ++i) {
        QByteArray head = "TEL";
        if (c.v21) {
            head += ';';
            head += random.pick(types21);
        } else {
            head += ";TYPE=";
            head += random.pick(types30);
            if (i == 0 && random.chance(30))
                head += ";TYPE=pref";
        }
        if (random.chance(20))
            head += ";X-SYNC=" + QByteArray::number(random.between(0, 9));
        line(c.out, head + ':' + phoneNumber(random, c.locale));
    }
}

// Mail addresses: none to three.
void oldMails(Old& c) {
    Random& random = c.random;
    const int mails = random.between(0, 3);
    for (int i = 0; i < mails; ++i) {
        const char* kind = random.chance(50) ? "HOME" : "WORK";
        QByteArray head = c.v21 ? QByteArray("EMAIL;INTERNET;") + kind : QByteArray("EMAIL;TYPE=INTERNET;TYPE=") + kind;
        if (random.chance(10))
            head += ";X-SYNC=" + QByteArray::number(random.between(0, 9));
        line(c.out, head + ':' + mailAddress(random, c.locale, c.givenAscii, c.familyAscii));
    }
}

// Postal addresses: none to two.
void oldAddresses(Old& c) {
    Random& random = c.random;
    const Locale& locale = c.locale;
    const int addresses = random.chance(55) ? random.between(1, 2) : 0;
    for (int i = 0; i < addresses; ++i) {
        const char* kind = i == 0 ? "HOME" : "WORK";
        const QByteArray street = locale.streets[random.below(uint32_t(locale.streetCount))];
        const QByteArray city = locale.cities[random.below(uint32_t(locale.cityCount))];
        const QByteArray zip = QByteArray::number(random.between(10000, 99999));
        if (c.v21) {
            property21(random, c.out, QByteArray("ADR;") + kind,
                       ";;" + street + ';' + city + ";;" + zip + ';' + locale.country);
        } else {
            QByteArray value =
                ";;" + escaped(street) + ';' + escaped(city) + ";;" + zip + ';' + escaped(locale.country);
            if (random.chance(30))
                value = ";" + escaped("Bât. B, 2e étage") + value.mid(1);
            folded(c.out, QByteArray("ADR;TYPE=") + kind + ':' + value);
        }
    }
}

// The company, and the job title most of the time.
void oldOrganization(Old& c, const QByteArray& org) {
    Random& random = c.random;
    if (c.v21)
        property21(random, c.out, "ORG", org);
    else
        line(c.out, "ORG:" + escaped(org));
    if (random.chance(70)) {
        const QByteArray title = random.pick(titles);
        if (c.v21)
            property21(random, c.out, "TITLE", title);
        else
            line(c.out, "TITLE:" + escaped(title));
    }
}

// Google groups: item1. to item4. with their labels.
void oldGoogleGroups(Old& c) {
    Random& random = c.random;
    QByteArray& out = c.out;
    const int items = random.between(1, 4);
    for (int i = 1; i <= items; ++i) {
        const QByteArray group = "item" + QByteArray::number(i) + '.';
        switch (random.below(4)) {
        case 0:
            line(out, group + "EMAIL;TYPE=INTERNET:" + mailAddress(random, c.locale, c.givenAscii, c.familyAscii));
            line(out, group + "X-ABLabel:" + escaped(random.pick(labels)));
            break;
        case 1:
            line(out, group + "TEL:" + phoneNumber(random, c.locale));
            line(out, group + "X-ABLabel:" + escaped(random.pick(labels)));
            break;
        case 2:
            line(out, group + "X-ABDATE:" + QByteArray::number(random.between(1980, 2024)) + "-0" +
                          QByteArray::number(random.between(1, 9)) + "-1" + QByteArray::number(random.between(0, 9)));
            line(out, group + "X-ABLabel:_$!<Anniversary>!$_");
            break;
        default:
            line(out, group + "URL:https\\://blog.example." + QByteArray(c.locale.tld) + '/' + c.familyAscii);
            line(out, group + "X-ABLabel:_$!<HomePage>!$_");
            break;
        }
    }
}

// The birthday, the web address, the note and the categories, each on some cards only.
void oldDatesAndNotes(Old& c) {
    Random& random = c.random;
    if (random.chance(35)) {
        const QByteArray date = QByteArray::number(random.between(1940, 2015)) + '-' +
                                QByteArray::number(random.between(1, 12)).rightJustified(2, '0') + '-' +
                                QByteArray::number(random.between(1, 28)).rightJustified(2, '0');
        line(c.out, "BDAY:" + date);
    }
    if (random.chance(20)) {
        const QByteArray url = "https://www." + c.familyAscii + '.' + c.locale.tld + "/~" + c.givenAscii;
        line(c.out, c.v21 ? "URL:" + url : "URL;TYPE=WORK:" + url);
    }
    if (!c.v21 && random.chance(35))
        oldGoogleGroups(c);
    if (random.chance(40)) {
        const QByteArray note = noteText(random, random.between(4, 60));
        if (c.v21) {
            quotedPrintable(c.out, "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:", note);
        } else {
            folded(c.out, "NOTE:" + escaped(note));
        }
    }
    if (random.chance(20))
        line(c.out, "CATEGORIES:" + QByteArray(random.chance(50) ? "Famille,Amis" : "My Contacts"));
}

// Vendor lines, some with X-SYNC parameters.
void oldVendorLines(Old& c, long number) {
    Random& random = c.random;
    if (random.chance(50)) {
        QByteArray head = "X-IRMC-LUID";
        if (random.chance(40))
            head += ";X-SYNC=" + QByteArray::number(random.between(0, 9));
        line(c.out, head + ':' + QByteArray::number(qulonglong(0x2000000000ull + number), 16).toUpper());
    }
    if (random.chance(25)) {
        QByteArray head = "X-ANDROID-CUSTOM";
        if (random.chance(50))
            head += ";X-SYNC=" + QByteArray::number(random.between(0, 9));
        line(c.out, head + ":vnd.android.cursor.item/nickname;" + c.givenAscii + ";1;;;;;;;;;;;;;");
    }
    if (random.chance(15))
        line(c.out, "X-MS-OL-DEFAULT-POSTAL-ADDRESS;X-SYNC=" + QByteArray::number(random.between(0, 9)) + ":2");
}

// The photo of one card in ten, and the revision date.
void oldPhotoAndRevision(Old& c) {
    Random& random = c.random;
    if (random.chance(10)) {
        const QByteArray data = photoBytes(random);
        photo(c.out, c.v21 ? "PHOTO;ENCODING=BASE64;TYPE=JPEG:" : "PHOTO;ENCODING=b;TYPE=JPEG:", data);
        if (c.v21)
            line(c.out, QByteArray()); // 2.1 ends base64 data with an empty line
    }
    if (random.chance(60))
        line(c.out, "REV:20" + QByteArray::number(random.between(10, 25)) + "-0" +
                        QByteArray::number(random.between(1, 9)) + "-1" + QByteArray::number(random.between(0, 9)) +
                        "T10:3" + QByteArray::number(random.between(0, 9)) + ":00Z");
}

void card(Random& random, QByteArray& out, long number) {
    const Locale& locale = pickLocale(random);
    const char* givenEntry = locale.given[random.below(uint32_t(locale.givenCount))];
    const char* familyEntry = locale.family[random.below(uint32_t(locale.familyCount))];
    const QByteArray given = written(givenEntry);
    const QByteArray family = written(familyEntry);
    const bool v21 = random.chance(40);
    const bool hasOrg = random.chance(45);
    const QByteArray org = hasOrg ? QByteArray(random.pick(companies)) : QByteArray();
    Old c{random, out, locale, ascii(givenEntry), ascii(familyEntry), v21};
    // Eastern Asian names are written family name first.
    const bool familyFirst = locale.lang[0] == 'j';
    const QByteArray fn = familyFirst ? family + given : given + ' ' + family;

    line(out, "BEGIN:VCARD");
    line(out, v21 ? "VERSION:2.1" : "VERSION:3.0");
    if (v21) {
        property21(random, out, "N", family + ';' + given + ";;;");
        property21(random, out, "FN", fn);
    } else {
        line(out, "N:" + escaped(family) + ';' + escaped(given) + ";;;");
        line(out, "FN:" + escaped(fn));
    }
    if (random.chance(15))
        line(out, "X-PHONETIC-FIRST-NAME:" + c.givenAscii);
    if (random.chance(10))
        line(out, "NICKNAME:" + c.givenAscii.left(4));
    oldPhones(c);
    oldMails(c);
    oldAddresses(c);
    if (hasOrg)
        oldOrganization(c, org);
    oldDatesAndNotes(c);
    oldVendorLines(c, number);
    oldPhotoAndRevision(c);
    line(out, "END:VCARD");
}

// ---------------------------------------------------------------------------------------------
// The real mix: cards shaped like real phone and address-book exports, mostly vendor lines.

enum class Style { Android, Outlook, Apple, V4 };

// The legacy charsets the real mix writes besides UTF-8; main() checks that Qt has them.
const char* const legacyCharsets[] = {"ISO-8859-1", "windows-1251", "KOI8-R", "Shift_JIS"};

// Japanese names for the Shift_JIS cards; ソ, 能, 表 and 十 have 0x5C (a backslash) as second byte.
POOL(jpGiven, "太郎|taro", "花子|hanako", "翔太|shota", "陽菜|hina", "結衣|yui", "ソウタ|sota", "能久|yoshihisa")
POOL(jpFamily, "山田|yamada", "佐藤|sato", "鈴木|suzuki", "高橋|takahashi", "能登|noto", "表|omote", "十河|sogo")
const char* const jpCompanies[] = {"株式会社サンプル", "ソニー物産株式会社", "表参道デザイン事務所", "山田商店"};

const char* const applePrograms[] = {"-//Apple Inc.//iOS 5.0.1//EN", "-//Apple Inc.//iPhone OS 17.2//EN",
                                     "-//Apple Inc.//Mac OS X 10.8.2//EN", "-//Apple Inc.//Address Book 6.1//EN"};
const char* const appleLabels[] = {"_$!<Mobile>!$_", "_$!<Main>!$_", "_$!<HomeFAX>!$_", "_$!<Other>!$_",
                                   "iPhone",         "_$!<Home>!$_", "_$!<Work>!$_",    "_$!<Pager>!$_"};
const char* const relations[] = {"_$!<Mother>!$_",    "_$!<Father>!$_", "_$!<Spouse>!$_",
                                 "_$!<Assistant>!$_", "_$!<Friend>!$_", "_$!<Sister>!$_"};
const char* const departments[] = {"Ventes", "Buchhaltung", "R&D", "Отдел кадров", "営業部", "IT"};

// The value in a legacy charset; empty when one of its characters has no place there.
QByteArray inCharset(const char* charset, const QByteArray& utf8) {
    const QString text = QString::fromUtf8(utf8);
    QStringEncoder encoder(charset);
    const QByteArray bytes = encoder(text);
    QStringDecoder decoder(charset);
    const QString back = decoder(bytes);
    if (!encoder.isValid() || encoder.hasError() || decoder.hasError() || back != text)
        return {};
    return bytes;
}

QByteArray hexDigits(Random& random, int count, bool upper) {
    QByteArray hex;
    while (hex.size() < count)
        hex += QByteArray::number(qulonglong(random.next()), 16).rightJustified(16, '0');
    hex.truncate(count);
    return upper ? hex.toUpper() : hex;
}

QByteArray uuid(Random& random, bool upper) {
    QByteArray hex = hexDigits(random, 32, upper);
    hex[12] = '4';
    hex[16] = (upper ? "89AB" : "89ab")[random.below(4)];
    return hex.left(8) + '-' + hex.mid(8, 4) + '-' + hex.mid(12, 4) + '-' + hex.mid(16, 4) + '-' + hex.mid(20);
}

// A date, "1980-03-22" with a separator, "19800322" without.
QByteArray date(Random& random, int from, int to, const char* separator) {
    return QByteArray::number(random.between(from, to)) + separator +
           QByteArray::number(random.between(1, 12)).rightJustified(2, '0') + separator +
           QByteArray::number(random.between(1, 28)).rightJustified(2, '0');
}

QByteArray timestamp(Random& random) {
    QByteArray time = date(random, 2010, 2025, "") + 'T';
    for (int limit : {23, 59, 59})
        time += QByteArray::number(random.between(0, limit)).rightJustified(2, '0');
    return time + 'Z';
}

QByteArray capitalized(QByteArray word) {
    if (!word.isEmpty())
        word[0] = char(std::toupper(static_cast<unsigned char>(word[0])));
    return word;
}

// A telephone as a tel: URI, "tel:+33-6-12-34-56-78".
QByteArray telUri(Random& random, const Locale& locale) {
    QByteArray uri = "tel:" + QByteArray(locale.phonePrefix) + '-' + QByteArray::number(random.between(1, 9));
    for (int group = 0; group < 4; ++group)
        uri += '-' + QByteArray::number(random.between(0, 99)).rightJustified(2, '0');
    if (random.chance(10))
        uri += ";ext=" + QByteArray::number(random.between(10, 999));
    return uri;
}

// Base64 on lines of their own: the indent (one or two blanks), then `width` characters.
void base64Lines(QByteArray& out, const QByteArray& b64, const QByteArray& indent, int width) {
    for (int pos = 0; pos < b64.size(); pos += width)
        line(out, indent + b64.mid(pos, width));
}

// One card being written, and the person on it.
struct Real {
    Real(Random& r, QByteArray& o, Style s) : random(r), out(o), style(s) {}
    Random& random;
    QByteArray& out;
    Style style;
    const Locale* locale = nullptr;
    QByteArray given, family, givenAscii, familyAscii, fn, middle, prefix;
    bool hasOrg = false;
    QByteArray org;                // the company's name, when it has one
    const char* charset = "UTF-8"; // of the 2.1 text of an Outlook card
    bool japanese = false;         // the names come from the Japanese pools
    int item = 0;                  // the last itemN. group of an Apple card

    bool v21() const { return style == Style::Android || style == Style::Outlook; }
    QByteArray group() { return style == Style::Apple ? "item" + QByteArray::number(++item) + '.' : QByteArray(); }

    // A TYPE parameter as each writer spells it: ";HOME", ";type=HOME", ";TYPE=home" (";PREF=1").
    QByteArray type(const QByteArray& kind) const {
        if (v21())
            return ';' + kind.toUpper();
        if (style == Style::Apple)
            return ";type=" + kind;
        return kind == "pref" ? QByteArray(";PREF=1") : ";TYPE=" + kind.toLower();
    }

    // A text value of several fields. 2.1 writes it with CHARSET, raw or quoted-printable (Android
    // always, blanks included); 3.0 and 4.0 write escaped UTF-8, folded.
    void structured(const QByteArray& head, const QList<QByteArray>& fields) {
        QByteArray value;
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0)
                value += ';';
            value += v21() ? fields[i] : escaped(fields[i]);
        }
        if (!v21()) {
            folded(out, head + ':' + value);
            return;
        }
        const bool newline = value.contains('\n');
        if (isAscii(value) && !newline) {
            line(out, head + ':' + value);
            return;
        }
        QByteArray name = style == Style::Android ? "UTF-8" : charset;
        QByteArray bytes = value;
        if (name != "UTF-8") {
            bytes = inCharset(name.constData(), value);
            if (bytes.isEmpty()) {
                name = "UTF-8";
                bytes = value;
            }
        }
        const QByteArray charsetParameter = isAscii(value) ? QByteArray() : ";CHARSET=" + name;
        if (style == Style::Android || newline || random.chance(40)) {
            if (style == Style::Outlook)
                bytes.replace("\n", "\r\n"); // Outlook breaks lines with =0D=0A
            quotedPrintable(out, head + charsetParameter + ";ENCODING=QUOTED-PRINTABLE:", bytes,
                            style == Style::Android);
        } else {
            line(out, head + charsetParameter + ':' + bytes);
        }
    }
    void text(const QByteArray& head, const QByteArray& value) { structured(head, {value}); }

    // Someone else's name in the same script, for spouses, managers and the like.
    QByteArray otherName() {
        if (japanese)
            return written(random.pick(jpFamily)) + written(random.pick(jpGiven));
        return written(locale->given[random.below(uint32_t(locale->givenCount))]);
    }
    QByteArray handle() { return givenAscii + '.' + familyAscii + QByteArray::number(random.between(1, 999)); }
    QByteArray mail() { return mailAddress(random, *locale, givenAscii, familyAscii); }
};

// Android's custom lines and Microsoft's X-MS-* lines (kinds 0 to 7).
void androidOrMicrosoftLine(Real& c, uint32_t which) {
    Random& random = c.random;
    switch (which) {
    case 0:
        c.structured("X-ANDROID-CUSTOM",
                     ("vnd.android.cursor.item/nickname;" + c.given + ";1;;;;;;;;;;;;;").split(';'));
        break;
    case 1:
        c.structured("X-ANDROID-CUSTOM", ("vnd.android.cursor.item/relation;" + c.otherName() + ';' +
                                          QByteArray::number(random.between(1, 14)) + ";;;;;;;;;;;;;")
                                             .split(';'));
        break;
    case 2:
        c.structured(
            "X-ANDROID-CUSTOM",
            ("vnd.android.cursor.item/contact_event;" + date(random, 1980, 2024, "-") + ";1;;;;;;;;;;;;;").split(';'));
        break;
    case 3:
        line(c.out, "X-MS-OL-DEFAULT-POSTAL-ADDRESS:" + QByteArray::number(random.between(0, 3)));
        break;
    case 4:
        line(c.out, "X-MS-IMADDRESS:" + c.mail());
        break;
    case 5:
        line(c.out, "X-MS-ANNIVERSARY:" + date(random, 1975, 2024, ""));
        break;
    case 6: {
        static const char* const kinds[] = {"X-MS-MANAGER", "X-MS-ASSISTANT", "X-MS-SPOUSE"};
        c.text(random.pick(kinds), c.otherName());
        break;
    }
    default:
        if (random.chance(30))
            line(c.out, "X-MS-OL-DESIGN;CHARSET=utf-8:<card xmlns=\"http://schemas.microsoft.com/office/outlook/12/"
                        "electronicbusinesscards\" ver=\"1.0\" layout=\"left\" bgcolor=\"ffffff\"><img xmlns=\"\" "
                        "align=\"fit\" area=\"16\" use=\"cardpicture\"/><fld xmlns=\"\" prop=\"name\" align=\"left\" "
                        "dir=\"ltr\" style=\"b\" color=\"000000\" size=\"10\"/></card>");
        else
            line(c.out, "X-MS-TEL;VOICE;CALLBACK:" + phoneNumber(random, *c.locale));
        break;
    }
}

// Evolution's X-EVOLUTION-* lines and the phonetic names (kinds 8 to 13).
void evolutionOrPhoneticLine(Real& c, uint32_t which) {
    Random& random = c.random;
    switch (which) {
    case 8:
        c.text("X-EVOLUTION-FILE-AS", c.family + ", " + c.given);
        break;
    case 9: {
        static const char* const kinds[] = {"X-EVOLUTION-SPOUSE", "X-EVOLUTION-MANAGER", "X-EVOLUTION-ASSISTANT"};
        c.text(random.pick(kinds), c.otherName());
        break;
    }
    case 10:
        line(c.out, QByteArray(random.chance(50) ? "X-EVOLUTION-BLOG-URL:" : "X-EVOLUTION-VIDEO-URL:") +
                        "https://blog.example." + c.locale->tld + '/' + c.familyAscii);
        break;
    case 11:
        line(c.out, random.chance(50) ? QByteArray("X-EVOLUTION-LIST:FALSE")
                                      : "X-EVOLUTION-ANNIVERSARY:" + date(random, 1975, 2024, "-"));
        break;
    case 12:
        line(c.out, "X-PHONETIC-FIRST-NAME:" + capitalized(c.givenAscii));
        break;
    default:
        line(c.out, "X-PHONETIC-LAST-NAME:" + capitalized(c.familyAscii));
        break;
    }
}

// Instant messaging handles (kinds 14 to 17).
void messengerLine(Real& c, uint32_t which) {
    Random& random = c.random;
    switch (which) {
    case 14:
        line(c.out, (random.chance(50) ? "X-SKYPE:live:" : "X-SKYPE-USERNAME:") + c.handle());
        break;
    case 15:
        line(c.out, "X-AIM" + c.type("HOME") + (random.chance(30) ? c.type("pref") : QByteArray()) + ':' + c.handle());
        break;
    case 16:
        line(c.out, "X-GOOGLE-TALK" + c.type("WORK") + ':' + c.mail());
        break;
    default: {
        static const char* const kinds[] = {"X-JABBER", "X-ICQ", "X-MSN", "X-YAHOO", "X-QQ", "X-GADUGADU"};
        const QByteArray kind = random.pick(kinds);
        const bool numeric = kind == "X-ICQ" || kind == "X-QQ" || kind == "X-GADUGADU";
        line(c.out, kind + c.type("HOME") + ':' +
                        (numeric ? QByteArray::number(random.between(100000, 999999999)) : c.mail()));
        break;
    }
    }
}

// Apple's, Mozilla's, KDE's and other writers' lines (kinds 18 to 29).
void otherVendorLine(Real& c, uint32_t which, long number) {
    Random& random = c.random;
    switch (which) {
    case 18:
        line(c.out, random.chance(70) ? "X-ABShowAs:COMPANY" : "X-ABShowAs:PERSON");
        break;
    case 19: {
        const QByteArray group = c.group();
        c.text(group + "X-ABRELATEDNAMES" + c.type("pref"), c.otherName());
        line(c.out, group + "X-ABLabel:" + random.pick(relations));
        break;
    }
    case 20: {
        static const char* const networks[] = {"twitter", "facebook", "linkedin", "flickr"};
        const QByteArray network = random.pick(networks);
        line(c.out, "X-SOCIALPROFILE" + c.type(network) + ":https://" + network + ".com/" + c.handle());
        break;
    }
    case 21:
        line(c.out, c.v21() ? "X-ACTIVITY-ALERT:type=call,snd=system:Tri-tone,vib=default"
                            : "X-ACTIVITY-ALERT:type=call\\,snd=system:Tri-tone\\,vib=default");
        break;
    case 22:
        line(c.out, random.chance(80) ? "X-MOZILLA-HTML:FALSE" : "X-MOZILLA-HTML:TRUE");
        break;
    case 23:
        line(c.out, "X-IRMC-LUID:" + QByteArray::number(qulonglong(0x2000000000ull + number), 16).toUpper());
        break;
    case 24:
        line(c.out, "X-WAB-GENDER:" + QByteArray::number(random.between(1, 2)));
        break;
    case 25:
        line(c.out, "X-SIP" + c.type("WORK") + ":sip:" + c.handle() + "@voip.example." + c.locale->tld);
        break;
    case 26:
        line(c.out, random.chance(50) ? "X-KADDRESSBOOK-X-IMAddress:" + c.handle()
                                      : "X-KADDRESSBOOK-BlogFeed:https://" + c.familyAscii + ".example.org/feed");
        break;
    case 27: {
        const QByteArray group = c.group();
        line(c.out, group + "X-ABDATE" + c.type("pref") + ':' + date(random, 1990, 2024, "-"));
        line(c.out, group + "X-ABLabel:_$!<Anniversary>!$_");
        break;
    }
    case 28:
        c.text("X-MAIDENNAME", c.japanese ? written(random.pick(jpFamily))
                                          : written(c.locale->family[random.below(uint32_t(c.locale->familyCount))]));
        break;
    default:
        line(c.out, random.chance(50) ? "X-GENDER:Male" : "X-GENDER:Female");
        break;
    }
}

// One vendor line (two for Apple's labelled groups).
void vendorLine(Real& c, long number) {
    const uint32_t which = c.random.below(30);
    if (which < 8)
        androidOrMicrosoftLine(c, which);
    else if (which < 14)
        evolutionOrPhoneticLine(c, which);
    else if (which < 18)
        messengerLine(c, which);
    else
        otherVendorLine(c, which, number);
}

void realPhoto(Real& c) {
    const QByteArray b64 = photoBytes(c.random).toBase64();
    switch (c.style) {
    case Style::Android:
        photo(c.out, "PHOTO;ENCODING=BASE64;JPEG:", QByteArray::fromBase64(b64));
        line(c.out, QByteArray());
        break;
    case Style::Outlook:
        line(c.out, "PHOTO;TYPE=JPEG;ENCODING=BASE64:");
        base64Lines(c.out, b64, " ", 72);
        line(c.out, QByteArray());
        break;
    case Style::Apple:
        if (c.random.chance(35)) { // Mac OS X Address Book: the data on lines of two blanks and 76 characters
            line(c.out, "PHOTO;BASE64:");
            base64Lines(c.out, b64, "  ", 76);
        } else {
            folded(c.out, "PHOTO;ENCODING=b;TYPE=JPEG:" + b64);
        }
        break;
    case Style::V4:
        folded(c.out, "PHOTO:data:image/jpeg;base64," + b64);
        break;
    }
}

// The charset of an Outlook card's 2.1 text: a legacy one for some languages, UTF-8 otherwise.
const char* outlookCharset(Random& random, const Locale& locale) {
    const char lang0 = locale.lang[0];
    const char lang1 = locale.lang[1];
    if (lang0 == 'f' || lang0 == 'd' || (lang0 == 'e' && lang1 == 'n'))
        return random.chance(45) ? "ISO-8859-1" : "UTF-8";
    if (lang0 == 'r')
        return random.chance(40) ? "windows-1251" : random.chance(50) ? "KOI8-R" : "UTF-8";
    if (lang0 == 'j' && random.chance(60))
        return "Shift_JIS";
    return "UTF-8";
}

// The person's names, the formatted name and the company.
void realPerson(Real& c) {
    Random& random = c.random;
    const char* givenEntry =
        c.japanese ? random.pick(jpGiven) : c.locale->given[random.below(uint32_t(c.locale->givenCount))];
    const char* familyEntry =
        c.japanese ? random.pick(jpFamily) : c.locale->family[random.below(uint32_t(c.locale->familyCount))];
    c.given = written(givenEntry);
    c.family = written(familyEntry);
    c.givenAscii = ascii(givenEntry);
    c.familyAscii = ascii(familyEntry);
    c.middle = random.chance(15) ? c.otherName() : QByteArray();
    static const char* const prefixes[] = {"Dr.", "Prof.", "Mr.", "Mme", "Frau", "Sr."};
    c.prefix = random.chance(8) ? QByteArray(random.pick(prefixes)) : QByteArray();
    c.fn = c.locale->lang[0] == 'j' ? c.family + c.given
                                    : c.given + ' ' + (c.middle.isEmpty() ? "" : c.middle + ' ') + c.family;
    c.hasOrg = random.chance(45);
    c.org = !c.hasOrg ? QByteArray() : QByteArray(c.japanese ? random.pick(jpCompanies) : random.pick(companies));
    if (c.hasOrg && random.chance(15))
        c.fn += " (" + c.org + ')';
}

// From BEGIN to the nickname: the version, the writer's lines, the names.
void realHead(Real& c) {
    Random& random = c.random;
    const Style style = c.style;
    line(c.out, "BEGIN:VCARD");
    line(c.out, c.v21() ? "VERSION:2.1" : style == Style::Apple ? "VERSION:3.0" : "VERSION:4.0");
    if (style == Style::Apple)
        line(c.out, QByteArray("PRODID:") + random.pick(applePrograms));
    if (style == Style::V4) {
        if (random.chance(50))
            line(c.out, "PRODID:-//Example Corp.//Contacts 4.2//EN");
        line(c.out, "UID:urn:uuid:" + uuid(random, false));
        line(c.out, "KIND:individual");
    }
    c.structured(style == Style::Outlook && random.chance(30) ? "N;LANGUAGE=" + QByteArray(c.locale->lang) : "N",
                 {c.family, c.given, c.middle, c.prefix, QByteArray()});
    c.text("FN", c.fn);
    if (style == Style::V4 && random.chance(60)) {
        static const char* const genders[] = {"M", "F", "M", "F", "O;non-binary", "U"};
        line(c.out, QByteArray("GENDER:") + random.pick(genders));
    }
    if (style == Style::V4 && random.chance(30))
        line(c.out, "LANG;PREF=1:" + QByteArray(c.locale->lang));
    if (!c.v21() && random.chance(15))
        line(c.out, "NICKNAME:" + capitalized(c.givenAscii.left(4)));
}

// Telephones: one to four.
void realPhones(Real& c) {
    Random& random = c.random;
    const int phones = random.between(1, 4);
    for (int i = 0; i < phones; ++i) {
        if (c.v21()) {
            static const char* const kinds[] = {"CELL",     "HOME",     "WORK",  "HOME;VOICE", "WORK;VOICE",
                                                "WORK;FAX", "HOME;FAX", "PAGER", "VOICE"};
            line(c.out, QByteArray("TEL;") + (i == 0 ? "CELL;PREF" : random.pick(kinds)) + ':' +
                            phoneNumber(random, *c.locale));
        } else if (c.style == Style::Apple) {
            if (random.chance(35)) {
                const QByteArray group = c.group();
                line(c.out, group + "TEL:" + phoneNumber(random, *c.locale));
                line(c.out,
                     group + "X-ABLabel:" +
                         (random.chance(75) ? QByteArray(random.pick(appleLabels)) : escaped(random.pick(labels))));
            } else {
                static const char* const kinds[] = {"type=HOME;type=VOICE", "type=WORK;type=VOICE",
                                                    "type=HOME;type=FAX", "type=IPHONE;type=CELL;type=VOICE",
                                                    "type=PAGER"};
                line(c.out, QByteArray("TEL;") + (i == 0 ? "type=CELL;type=VOICE;type=pref" : random.pick(kinds)) +
                                ':' + phoneNumber(random, *c.locale));
            }
        } else {
            static const char* const kinds[] = {"TYPE=cell", "TYPE=\"voice,home\"", "TYPE=work", "TYPE=\"fax,work\"",
                                                "TYPE=text"};
            line(c.out, QByteArray("TEL;VALUE=uri;") + random.pick(kinds) + (i == 0 ? ";PREF=1" : "") + ':' +
                            telUri(random, *c.locale));
        }
    }
}

// Mail addresses: none to three.
void realMails(Real& c) {
    Random& random = c.random;
    const Style style = c.style;
    const int mails = random.between(0, 3);
    for (int i = 0; i < mails; ++i) {
        const char* kind = random.chance(50) ? "HOME" : "WORK";
        if (style == Style::Android)
            line(c.out, QByteArray(i == 0 ? "EMAIL;PREF;INTERNET:" : "EMAIL;INTERNET:") + c.mail());
        else if (style == Style::Outlook)
            line(c.out, QByteArray("EMAIL;INTERNET;") + kind + ':' + c.mail());
        else if (style == Style::Apple && i == 0)
            line(c.out, c.group() + "EMAIL;type=INTERNET;type=pref:" + c.mail());
        else if (style == Style::Apple)
            line(c.out, QByteArray("EMAIL;type=INTERNET;type=") + kind + ':' + c.mail());
        else
            line(c.out, QByteArray("EMAIL") + c.type(kind) + (i == 0 ? ";PREF=1:" : ":") + c.mail());
    }
}

// Postal addresses: none to two.
void realAddresses(Real& c) {
    Random& random = c.random;
    const int addresses = random.chance(50) ? random.between(1, 2) : 0;
    for (int i = 0; i < addresses; ++i) {
        const QByteArray kind = i == 0 ? "HOME" : "WORK";
        const QByteArray street = c.locale->streets[random.below(uint32_t(c.locale->streetCount))];
        const QByteArray city = c.locale->cities[random.below(uint32_t(c.locale->cityCount))];
        const QByteArray zip = QByteArray::number(random.between(10000, 99999));
        const QByteArray country = c.locale->country;
        const QList<QByteArray> fields = {QByteArray(), QByteArray(), street, city, QByteArray(), zip, country};
        if (c.v21()) {
            c.structured("ADR;" + kind + (i == 0 ? ";PREF" : ""), fields);
            if (c.style == Style::Outlook)
                c.text("LABEL;" + kind, street + '\n' + zip + ' ' + city + '\n' + country);
        } else if (c.style == Style::Apple) {
            const QByteArray group = c.group();
            c.structured(group + "ADR" + c.type(kind) + (i == 0 ? c.type("pref") : QByteArray()), fields);
            line(c.out, group + "X-ABADR:" + QByteArray(c.locale->tld).right(2));
        } else {
            // The label as a quoted parameter; the "Bât. B: 2e étage" one has a colon inside the quotes.
            const QByteArray floor = random.chance(20) ? "Bât. B: 2e étage\\n" : "";
            c.structured("ADR" + c.type(kind) + ";LABEL=\"" + floor + street + "\\n" + zip + ' ' + city + "\\n" +
                             country + '"',
                         fields);
        }
    }
}

// The company with its department now and then, and the job title most of the time.
void realOrganization(Real& c) {
    QList<QByteArray> fields = {c.org};
    if (c.random.chance(30))
        fields << c.random.pick(departments);
    c.structured("ORG", fields);
    if (c.random.chance(70))
        c.text("TITLE", c.random.pick(titles));
}

// The birthday as each writer spells it, on about one card in three.
void realBirthday(Real& c) {
    Random& random = c.random;
    const Style style = c.style;
    if (!random.chance(35))
        return;
    if (style == Style::Outlook)
        line(c.out, "BDAY:" + date(random, 1940, 2015, ""));
    else if (style == Style::Apple)
        line(c.out, "BDAY;value=date:" + date(random, 1940, 2015, "-"));
    else if (style == Style::V4 && random.chance(30))
        line(c.out, "BDAY:--" + date(random, 2000, 2000, "").mid(4));
    else
        line(c.out, "BDAY:" + date(random, 1940, 2015, style == Style::V4 ? "" : "-"));
}

// The lines only vCard 4.0 has: anniversary, messaging address, position and time zone.
void v4Extras(Real& c) {
    Random& random = c.random;
    if (random.chance(20))
        line(c.out, "ANNIVERSARY:" + date(random, 1970, 2024, "") + "T1430-0500");
    if (random.chance(30))
        line(c.out, "IMPP;PREF=1:xmpp:" + c.handle() + "@example." + c.locale->tld);
    if (random.chance(20))
        line(c.out, "GEO:geo:" + QByteArray::number(random.between(-60, 70)) + '.' +
                        QByteArray::number(random.between(1000, 9999)) + ',' +
                        QByteArray::number(random.between(-120, 140)) + '.' +
                        QByteArray::number(random.between(1000, 9999)));
    if (random.chance(15))
        line(c.out, "TZ:Europe/Paris");
}

// The web address, the note and the categories, each on some cards only.
void realUrlAndNotes(Real& c) {
    Random& random = c.random;
    if (random.chance(20)) {
        const QByteArray url = "https://www." + c.familyAscii + '.' + c.locale->tld + "/~" + c.givenAscii;
        if (c.style == Style::Apple) {
            const QByteArray group = c.group();
            line(c.out, group + "URL;type=pref:" + QByteArray(url).replace(":", "\\:"));
            line(c.out, group + "X-ABLabel:_$!<HomePage>!$_");
        } else {
            line(c.out, "URL" + c.type("WORK") + ':' + url);
        }
    }
    if (random.chance(35))
        c.text("NOTE", noteText(random, random.between(4, 60)));
    if (random.chance(20))
        c.structured("CATEGORIES", {random.chance(50) ? "Famille,Amis" : "My Contacts"});
}

void realCard(Random& random, QByteArray& out, long number) {
    QByteArray body;
    const uint32_t roll = random.below(100);
    const Style style = roll < 25 ? Style::Android : roll < 40 ? Style::Outlook : roll < 75 ? Style::Apple : Style::V4;
    Real c(random, body, style);
    c.locale = &pickLocale(random);
    if (style == Style::Outlook)
        c.charset = outlookCharset(random, *c.locale);
    c.japanese = std::strcmp(c.charset, "Shift_JIS") == 0;
    realPerson(c);
    const bool crcrlf = style == Style::Apple && random.chance(40);

    realHead(c);
    realPhones(c);
    realMails(c);
    realAddresses(c);
    if (c.hasOrg)
        realOrganization(c);
    realBirthday(c);
    if (style == Style::V4)
        v4Extras(c);
    realUrlAndNotes(c);

    // The vendor lines: most of a card.
    const int vendors = random.between(8, 20);
    for (int i = 0; i < vendors; ++i)
        vendorLine(c, number);
    if (style == Style::Apple)
        line(body, "X-ABUID:" + uuid(random, true) + "\\:ABPerson");

    if (random.chance(10))
        realPhoto(c);
    else if (style == Style::V4 && random.chance(25))
        line(body, "PHOTO;MEDIATYPE=image/jpeg:https://example.com/p/" + QByteArray::number(random.between(1, 99999)) +
                       ".jpg");
    if (style != Style::Apple && random.chance(60))
        line(body, "REV:" + timestamp(random));
    line(body, "END:VCARD");

    if (crcrlf) // iPhone exports end every line with CR CR LF
        body.replace("\r\n", "\r\r\n");
    out += body;
}

int usage() {
    std::fputs("usage: gen_vcf --cards N [--seed S] [--mix old|real] [--out FILE]\n"
               "       gen_vcf --split-dir DIR --cards N [--seed S] [--mix old|real]\n",
               stderr);
    return 2;
}

bool writeFile(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        std::fprintf(stderr, "gen_vcf: cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

// What the command line asks for.
struct Options {
    long cards = -1;
    uint64_t seed = 1;
    QString outPath;
    QString splitDir;
    bool real = false;
};

// Reads the arguments into `options`; false when they make no valid call.
bool parseArguments(const QStringList& args, Options& options) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (i + 1 >= args.size())
            return false;
        bool ok = true;
        if (arg == "--cards")
            options.cards = args[++i].toLong(&ok);
        else if (arg == "--seed")
            options.seed = args[++i].toULongLong(&ok, 0);
        else if (arg == "--out")
            options.outPath = args[++i];
        else if (arg == "--split-dir")
            options.splitDir = args[++i];
        else if (arg == "--mix") {
            const QString mix = args[++i];
            ok = mix == "old" || mix == "real";
            options.real = mix == "real";
        } else
            return false;
        if (!ok)
            return false;
    }
    return options.cards >= 0 && (options.outPath.isEmpty() || options.splitDir.isEmpty());
}

// The real mix needs Qt's legacy charsets; false, with a message, when one is missing.
bool haveLegacyCharsets() {
    for (const char* charset : legacyCharsets) {
        if (!QStringEncoder(charset).isValid()) {
            std::fprintf(stderr, "gen_vcf: this Qt cannot write %s (built without ICU?)\n", charset);
            return false;
        }
    }
    return true;
}

using CardWriter = void (*)(Random&, QByteArray&, long);

// N files of one card each, 00001.vcf and on; the exit status.
int writeSplit(const Options& options, CardWriter writeCard) {
    if (!QDir().mkpath(options.splitDir)) {
        std::fprintf(stderr, "gen_vcf: cannot create %s\n", qPrintable(options.splitDir));
        return 1;
    }
    Random random(options.seed);
    QByteArray buffer;
    const int width = qMax(5, int(QString::number(options.cards).size()));
    for (long n = 1; n <= options.cards; ++n) {
        buffer.resize(0);
        writeCard(random, buffer, n);
        const QString name = QString::number(n).rightJustified(width, '0') + ".vcf";
        if (!writeFile(QDir(options.splitDir).filePath(name), buffer))
            return 1;
    }
    return 0;
}

// One file, or standard output: the cards pass through a buffer that is written out in pieces
// of about 1 MiB. Returns the exit status.
int writeOneFile(const Options& options, CardWriter writeCard) {
    const QString& outPath = options.outPath;
    QSaveFile saved(outPath);
    QFile standardOutput;
    QFileDevice* device = &saved;
    if (outPath.isEmpty()) {
        device = &standardOutput;
        if (!standardOutput.open(stdout, QIODevice::WriteOnly))
            return 1;
    } else if (!saved.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "gen_vcf: cannot write %s: %s\n", qPrintable(outPath), qPrintable(saved.errorString()));
        return 1;
    }
    Random random(options.seed);
    QByteArray buffer;
    constexpr int chunk = 1 << 20;
    buffer.reserve(chunk + 64 * 1024);
    for (long n = 1; n <= options.cards; ++n) {
        writeCard(random, buffer, n);
        if (buffer.size() >= chunk || n == options.cards) {
            if (device->write(buffer) != buffer.size()) {
                std::fprintf(stderr, "gen_vcf: write failed: %s\n", qPrintable(device->errorString()));
                return 1;
            }
            buffer.resize(0); // keeps the capacity
        }
    }
    if (!outPath.isEmpty() && !saved.commit()) {
        std::fprintf(stderr, "gen_vcf: cannot write %s: %s\n", qPrintable(outPath), qPrintable(saved.errorString()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseArguments(app.arguments(), options))
        return usage();
    if (options.real && !haveLegacyCharsets())
        return 1;
    const CardWriter writeCard = options.real ? realCard : card;
    return options.splitDir.isEmpty() ? writeOneFile(options, writeCard) : writeSplit(options, writeCard);
}

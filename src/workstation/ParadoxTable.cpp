// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParadoxTable.h"

extern "C" {
#include <paradox.h>

// The library reads and writes tables protected with a password, but keeps the key of a
// password and the block decryption out of its header. Both are needed before the library
// reads a block: to refuse other passwords, and to check the block chain first.
long px_passwd_checksum(const char* password);
void px_decrypt_db_block(unsigned char* source, unsigned char* target, unsigned long encryption,
                         unsigned long blockSize, unsigned long blockNumber);
}

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstdint>
#include <cstdio>
#include <iconv.h>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum class Kind { Time, Date, Real, Text };

struct Column {
    const char* name;
    Kind kind;
};

// The twelve columns of a measurement, in the order of RecordRow.
const std::array<Column, 12> columns = {{{"AllTime", Kind::Time},
                                         {"Number", Kind::Real},
                                         {"Minutes", Kind::Real},
                                         {"OD", Kind::Real},
                                         {"StartTime", Kind::Time},
                                         {"StartDate", Kind::Date},
                                         {"Title", Kind::Text},
                                         {"Note", Kind::Text},
                                         {"TimeS", Kind::Text},
                                         {"NoteS", Kind::Real},
                                         {"CalcOD", Kind::Real},
                                         {"SmoothOD", Kind::Real}}};

bool compatible(Kind kind, int type, int length) {
    switch (kind) {
    case Kind::Time:
        return type == pxfTime && length == 4;
    case Kind::Date:
        return type == pxfDate && length == 4;
    case Kind::Real:
        // Whole-number columns widen to a double without loss.
        return ((type == pxfNumber || type == pxfCurrency) && length == 8) ||
               (type == pxfLong && length == 4) || (type == pxfShort && length == 2);
    case Kind::Text:
        return type == pxfAlpha && length >= 1 && length <= 255;
    }
    return false;
}

unsigned le16(const unsigned char* bytes) {
    return static_cast<unsigned>(bytes[0]) | static_cast<unsigned>(bytes[1]) << 8;
}

// The password the workstation's tables may be protected with.
constexpr const char* tablePassword = "lumivarek";

// Fixed positions in the file header.
constexpr int commonHeaderSize = 0x58;
constexpr int dataHeaderSize = 0x20;
constexpr int blockHeaderSize = 6;
// Paradox dates count days from 1 January of year 1; Qt counts Julian days.
constexpr qint64 julianDayBeforeYearOne = 1721425;
constexpr qint64 millisecondsPerDay = qint64{24} * 60 * 60 * 1000;

// Integers are stored big-endian with the sign bit inverted; all zero bytes mean empty.
// Decoded here because the library's four-byte decoder reads a whole `long` from a
// four-byte buffer on 64-bit systems.
std::optional<qint64> integerAt(const unsigned char* bytes, int length) {
    std::uint64_t value = 0;
    bool empty = true;
    for (int i = 0; i < length; ++i) {
        value = value << 8 | bytes[i];
        empty = empty && bytes[i] == 0;
    }
    if (empty)
        return std::nullopt;
    const int shift = 64 - 8 * length;
    value ^= std::uint64_t{1} << (8 * length - 1);
    return static_cast<qint64>(value << shift) >> shift;
}

// Alpha fields hold single-byte text in the table's DOS/Windows code page.
class CodePage {
public:
    explicit CodePage(int number) {
        if (number > 0)
            converter_ = iconv_open("UTF-8", ("CP" + std::to_string(number)).c_str());
    }
    ~CodePage() {
        if (converter_ != invalid())
            iconv_close(converter_);
    }
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    QString decode(const char* bytes, std::size_t size) {
        bool ascii = true;
        for (std::size_t i = 0; i < size && ascii; ++i)
            ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
        if (ascii || converter_ == invalid())
            return QString::fromLatin1(bytes, static_cast<qsizetype>(size));
        // A single byte becomes at most three bytes of UTF-8.
        std::string out(size * 3, '\0');
        char* in = const_cast<char*>(bytes);
        std::size_t inLeft = size;
        char* outPointer = out.data();
        std::size_t outLeft = out.size();
        iconv(converter_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter_, &in, &inLeft, &outPointer, &outLeft) == static_cast<std::size_t>(-1))
            return QString::fromLatin1(bytes, static_cast<qsizetype>(size));
        return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size() - outLeft));
    }

private:
    // iconv_open's failure value, (iconv_t)-1 by its contract.
    static iconv_t invalid() {
        return reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
    }
    iconv_t converter_ = invalid();
};

} // namespace

struct ParadoxTable::Reader {
    struct Field {
        int offset = -1;
        int type = 0;
        int length = 0;
    };
    struct Block {
        int number;
        int records;
    };

    QString path;
    std::FILE* file = nullptr;
    pxdoc_t* doc = nullptr;
    bool opened = false; // the library closes only what it opened completely
    qint64 fileSize = 0;
    int headerSize = 0;
    int recordSize = 0;
    int blockSize = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
    qint64 headerRows = 0;
    std::uint32_t encryption = 0; // the key of the table's password; 0: not protected
    std::array<Field, columns.size()> fields;
    std::vector<Block> blocks;
    int rows = 0;
    std::optional<CodePage> codePage;

    // Where next() stands.
    std::vector<unsigned char> block;
    std::size_t blockIndex = 0;
    int recordInBlock = 0;

    explicit Reader(const QString& tablePath) : path(tablePath) {}
    ~Reader() {
        if (doc) {
            if (opened)
                PX_close(doc);
            PX_delete(doc);
        }
        if (file)
            std::fclose(file);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    [[noreturn]] void refuse(const QString& reason) const {
        throw std::runtime_error(QStringLiteral("The file '%1' is not a measurement table: %2")
                                     .arg(path, reason)
                                     .toStdString());
    }
    [[noreturn]] void damaged(const QString& where) const {
        refuse(QStringLiteral("the Paradox table is damaged (%1).").arg(where));
    }
    [[noreturn]] void unreadable() const {
        refuse(QStringLiteral("it is neither an SQLite database nor a readable Paradox table."));
    }

    void readAt(qint64 position, void* buffer, int length) {
        if (position < 0 || position + length > fileSize)
            damaged(QStringLiteral("a read beyond the end of the file"));
        if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0 ||
            std::fread(buffer, 1, static_cast<std::size_t>(length), file) !=
                static_cast<std::size_t>(length))
            damaged(QStringLiteral("a short read"));
    }

    // The first bytes of data block number (from 1), or all of it; decrypted when protected.
    void readBlock(int number, std::vector<unsigned char>& bytes) {
        readAt(headerSize + qint64{number - 1} * blockSize, bytes.data(),
               static_cast<int>(bytes.size()));
        if (encryption != 0)
            px_decrypt_db_block(bytes.data(), bytes.data(), encryption,
                                static_cast<unsigned long>(blockSize),
                                static_cast<unsigned long>(number));
    }

    void open() {
        fileSize = QFileInfo(path).size();
        file = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!file)
            throw std::runtime_error(
                QStringLiteral("The table file '%1' does not exist.").arg(path).toStdString());
        checkHeader();
        walkBlocks();
        doc = PX_new3([](pxdoc_t*, int, const char*, void*) {}, nullptr, nullptr, nullptr, nullptr);
        if (!doc || PX_open_fp(doc, file) < 0 || !doc->px_head || !doc->px_stream)
            unreadable();
        opened = true;
        const pxhead_t& head = *doc->px_head;
        if (head.px_recordsize != recordSize || head.px_headersize != headerSize)
            unreadable();
        matchColumns();
        codePage.emplace(head.px_doscodepage);
    }

    // Everything the library's header reader and its block index rely on is checked first:
    // it would read past the header, run over a table name without its end, or follow a
    // circular chain of data blocks forever.
    void checkHeader() {
        if (fileSize < commonHeaderSize)
            unreadable();
        std::vector<unsigned char> header(commonHeaderSize);
        if (std::fread(header.data(), 1, header.size(), file) != header.size())
            unreadable();
        recordSize = static_cast<int>(le16(&header[0x00]));
        headerSize = static_cast<int>(le16(&header[0x02]));
        const int fileType = header[0x04];
        const int blockKilobytes = header[0x05];
        const int fieldCount = static_cast<int>(le16(&header[0x21]));
        const int version = header[0x39];
        fileBlocks = static_cast<int>(le16(&header[0x0C]));
        firstBlock = static_cast<int>(le16(&header[0x0E]));
        headerRows = static_cast<qint64>(le16(&header[0x06])) |
                     static_cast<qint64>(le16(&header[0x08])) << 16;
        encryption = le16(&header[0x25]) | std::uint32_t{le16(&header[0x27])} << 16;
        const bool dataTable = fileType == pxfFileTypIndexDB || fileType == pxfFileTypNonIndexDB;
        const bool knownBlockSize = blockKilobytes == 1 || blockKilobytes == 2 ||
                                    blockKilobytes == 3 || blockKilobytes == 4 ||
                                    blockKilobytes == 8 || blockKilobytes == 16 ||
                                    blockKilobytes == 32;
        if (!dataTable || !knownBlockSize || version < 3 || version > 15 || recordSize == 0 ||
            fieldCount < 1 || fieldCount > 255 || headerSize < commonHeaderSize)
            unreadable();
        if (headerSize > fileSize)
            damaged(QStringLiteral("its header is cut short"));
        blockSize = blockKilobytes * 0x400;
        if (headerSize + qint64{fileBlocks} * blockSize > fileSize)
            damaged(QStringLiteral("its data blocks are cut short"));

        header.resize(static_cast<std::size_t>(headerSize));
        if (std::fread(header.data() + commonHeaderSize, 1, header.size() - commonHeaderSize,
                       file) != header.size() - commonHeaderSize)
            damaged(QStringLiteral("its header is cut short"));
        // Field types, the table name pointer, the field name pointers, the table name, then
        // one terminated name per field.
        const int tableNameLength = version == 12 ? 261 : 79;
        std::size_t position =
            static_cast<std::size_t>(version >= 5 ? commonHeaderSize + dataHeaderSize
                                                  : commonHeaderSize) +
            static_cast<std::size_t>(fieldCount) * 6 + 4;
        const auto terminatedWithin = [&](std::size_t from, std::size_t limit) {
            for (std::size_t i = from; i < limit && i < header.size(); ++i)
                if (header[i] == 0)
                    return i;
            return header.size();
        };
        if (terminatedWithin(position, position + tableNameLength) >= header.size())
            damaged(QStringLiteral("its header"));
        position += tableNameLength;
        for (int i = 0; i < fieldCount; ++i) {
            const std::size_t end = terminatedWithin(position, header.size());
            if (end >= header.size())
                damaged(QStringLiteral("its field names"));
            position = end + 1;
        }
        if (encryption == 0xFF00FF00 && version >= 5 && headerSize >= 0x60)
            encryption = le16(&header[0x5C]) | std::uint32_t{le16(&header[0x5E])} << 16;
        if (encryption != 0 &&
            encryption != static_cast<std::uint32_t>(px_passwd_checksum(tablePassword)))
            refuse(QStringLiteral("it is protected with a password other than the program's."));
    }

    void matchColumns() {
        const int count = PX_get_num_fields(doc);
        const pxfield_t* list = PX_get_fields(doc);
        if (count < 1 || !list)
            unreadable();
        int offset = 0;
        for (int i = 0; i < count; ++i) {
            const pxfield_t& field = list[i];
            const QString name = QString::fromLatin1(field.px_fname ? field.px_fname : "");
            if (field.px_flen <= 0)
                damaged(QStringLiteral("its field list"));
            std::size_t c = 0;
            while (c < columns.size() &&
                   name.compare(QLatin1String(columns[c].name), Qt::CaseInsensitive) != 0)
                ++c;
            if (c == columns.size())
                refuse(QStringLiteral("it has the column %1, which a measurement does not have.")
                           .arg(name));
            if (fields[c].offset >= 0)
                refuse(QStringLiteral("it has the column %1 twice.").arg(name));
            if (!compatible(columns[c].kind, static_cast<unsigned char>(field.px_ftype),
                            field.px_flen))
                refuse(QStringLiteral("its column %1 has the wrong type.").arg(name));
            fields[c] = {offset, static_cast<unsigned char>(field.px_ftype), field.px_flen};
            offset += field.px_flen;
        }
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (fields[c].offset < 0)
                refuse(QStringLiteral("it has no column %1.").arg(QLatin1String(columns[c].name)));
        if (offset != recordSize)
            damaged(QStringLiteral("its record size"));
    }

    // Follows the chain of data blocks once, so that every block is known to lie inside the
    // file and to hold whole records before the first row is read.
    void walkBlocks() {
        const int capacity = (blockSize - blockHeaderSize) / recordSize;
        std::vector<bool> seen(static_cast<std::size_t>(fileBlocks) + 1, false);
        qint64 total = 0;
        for (int number = firstBlock; number != 0;) {
            if (number < 1 || number > fileBlocks || seen[static_cast<std::size_t>(number)])
                damaged(QStringLiteral("its chain of data blocks"));
            seen[static_cast<std::size_t>(number)] = true;
            const qint64 start = headerSize + qint64{number - 1} * blockSize;
            if (start + blockSize > fileSize)
                damaged(QStringLiteral("data block %1 is cut short").arg(number));
            // A protected block is decrypted as a whole; its head is only known then.
            std::vector<unsigned char> blockHead(
                static_cast<std::size_t>(encryption != 0 ? blockSize : blockHeaderSize));
            readBlock(number, blockHead);
            const auto added = static_cast<std::int16_t>(le16(&blockHead[4]));
            if ((added + recordSize) % recordSize != 0)
                damaged(QStringLiteral("data block %1").arg(number));
            const int records = added / recordSize + 1;
            if (records < 0 || records > capacity)
                damaged(QStringLiteral("data block %1").arg(number));
            blocks.push_back({number, records});
            total += records;
            number = static_cast<int>(le16(&blockHead[0]));
        }
        if (total != headerRows)
            damaged(QStringLiteral("its row count"));
        rows = static_cast<int>(total);
    }

    bool next(RecordRow& row) {
        while (blockIndex < blocks.size() && recordInBlock >= blocks[blockIndex].records) {
            ++blockIndex;
            recordInBlock = 0;
            block.clear();
        }
        if (blockIndex >= blocks.size())
            return false;
        if (block.empty()) {
            block.resize(static_cast<std::size_t>(blockSize));
            readBlock(blocks[blockIndex].number, block);
        }
        const unsigned char* record = block.data() + blockHeaderSize +
                                      static_cast<std::ptrdiff_t>(recordInBlock) * recordSize;
        ++recordInBlock;

        // An empty number stays empty (NaN), never a measured 0.
        constexpr double empty = std::numeric_limits<double>::quiet_NaN();
        row.allTime = timeAt(record, 0);
        row.number = realAt(record, 1).value_or(empty);
        row.minutes = realAt(record, 2).value_or(empty);
        row.od = realAt(record, 3).value_or(empty);
        row.startTime = timeAt(record, 4);
        row.startDate = dateAt(record, 5);
        row.title = textAt(record, 6);
        row.note = textAt(record, 7);
        row.timeS = textAt(record, 8);
        row.noteS = realAt(record, 9).value_or(empty);
        row.calcOd = realAt(record, 10).value_or(empty);
        row.smoothOd = realAt(record, 11);
        return true;
    }

    // Times of day are kept to the second, as in every other measurement file.
    QTime timeAt(const unsigned char* record, std::size_t column) const {
        const auto value = integerAt(record + fields[column].offset, 4);
        if (!value)
            return QTime();
        if (*value < 0 || *value >= millisecondsPerDay)
            damaged(QStringLiteral("a time out of range"));
        return QTime::fromMSecsSinceStartOfDay(static_cast<int>(*value - *value % 1000));
    }

    QDate dateAt(const unsigned char* record, std::size_t column) const {
        const auto value = integerAt(record + fields[column].offset, 4);
        if (!value)
            return QDate();
        if (*value < 1)
            damaged(QStringLiteral("a date out of range"));
        return QDate::fromJulianDay(*value + julianDayBeforeYearOne);
    }

    std::optional<double> realAt(const unsigned char* record, std::size_t column) const {
        const Field& field = fields[column];
        const unsigned char* bytes = record + field.offset;
        if (field.type == pxfNumber || field.type == pxfCurrency) {
            double value = 0;
            auto* data = const_cast<char*>(reinterpret_cast<const char*>(bytes));
            if (PX_get_data_double(doc, data, field.length, &value) <= 0)
                return std::nullopt;
            return value;
        }
        const auto value = integerAt(bytes, field.length);
        if (!value)
            return std::nullopt;
        return static_cast<double>(*value);
    }

    QString textAt(const unsigned char* record, std::size_t column) {
        const Field& field = fields[column];
        const auto* bytes = reinterpret_cast<const char*>(record + field.offset);
        std::size_t size = 0;
        while (size < static_cast<std::size_t>(field.length) && bytes[size] != '\0')
            ++size;
        return codePage->decode(bytes, size);
    }
};

ParadoxTable::ParadoxTable(const QString& path) : reader_(std::make_unique<Reader>(path)) {
    reader_->open();
}

ParadoxTable::~ParadoxTable() = default;

int ParadoxTable::rowCount() const {
    return reader_->rows;
}

bool ParadoxTable::next(RecordRow& row) {
    return reader_->next(row);
}

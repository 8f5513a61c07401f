#pragma once

#include <QImage>
#include <QObject>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// An uncompressed true-colour picture (TGA image type 2) held in memory with
// the 18-byte header and the 26-byte footer of its file.
//
// The pixel store is a QImage whose rows hold the file's rows as they stand:
// store row k is the k-th row of the file, so with the bottom-left origin that
// a save declares, store row 0 is the bottom row of the picture. (A loaded
// file that declares a top or right origin is brought into that order.)
// Pixels keep the file's byte order (blue first). Depths 15, 16, 24 and 32 map onto
// Format_RGB555, Format_RGB16, Format_BGR888 and Format_ARGB32; any other depth
// gets Format_ARGB32, and only as many bytes of a file row as fit into a store
// row are moved (the rest is skipped on load and written as zeros on save).
//
// There is no pixel store until the first SetDepth, Reset, LoadFromFile or
// SaveToFile; once it exists it stays until destruction.
class TTarga : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool ResetImage READ ResetImage WRITE SetResetImage)
    Q_PROPERTY(quint16 Width READ Width WRITE SetWidth)
    Q_PROPERTY(quint16 Height READ Height WRITE SetHeight)
    Q_PROPERTY(quint16 ColorDepth READ GetDepth WRITE SetDepth)

public:
    using HeaderBytes = std::array<std::uint8_t, 18>;
    using FooterBytes = std::array<std::uint8_t, 26>;

    // Pictures whose pixels would take more than this are refused on load.
    static constexpr std::uint64_t kMaxPictureBytes = std::uint64_t{1} << 30;

    // Header of a 256 x 256 x 32 picture, descriptor 0; no pixel store yet.
    explicit TTarga(QObject* owner = nullptr);
    ~TTarga() override;

    // The drawing surface of the pixel store, for QPainter or direct pixel
    // access; null until the store exists. The pointer changes with every
    // Reset, so fetch it again after SetDepth, Reset or LoadFromFile.
    QImage* Canvas() const { return FBitmap.get(); }

    const HeaderBytes& Header() const { return FHeader; }
    const FooterBytes& Footer() const { return FFooter; }

    bool ResetImage() const { return FResetImage; }
    void SetResetImage(bool value) { FResetImage = value; }

    quint16 Width() const;
    quint16 Height() const;
    // Change header and store together, keeping the part of the picture that
    // still fits; without a pixel store they change nothing at all.
    void SetWidth(quint16 value);
    void SetHeight(quint16 value);

    quint16 GetDepth() const;
    // Stores the low 8 bits of value as the depth and re-creates the store.
    // With ResetImage the picture is carried over, converted to the new
    // format; otherwise the new store is blank.
    void SetDepth(quint16 value);

    // Re-creates a blank pixel store from the header. Throws std::bad_alloc
    // when the store cannot be allocated; the component is then unchanged.
    void Reset();

    // The first pixel of row `row` counted from the top of the picture (store
    // row Height - 1 - row); null without a pixel store. Throws
    // std::out_of_range "Scan line index out of range" for a row outside it.
    uchar* GetScanLine(int row);

    // Exchanges red and blue in every pixel; does nothing for depths other
    // than 15, 16, 24 and 32 or without a pixel store.
    void ReverseColors();

    // Reads the header (a short file keeps the old values of the bytes it
    // lacks) and then the rows from byte 18 on, so an image ID field or a
    // colour map is taken as pixel data; rows missing from the file stay
    // blank. Of the header only size, depth and the origin bits of the
    // descriptor are examined.
    // Throws eit::FileError "Cannot open file %s" (also for a name that
    // cannot be read, such as a directory), "Picture too large in file %s"
    // when its pixels would exceed kMaxPictureBytes, or "Stream read error:
    // %s" when reading fails other than at the end; the component is then
    // unchanged.
    void LoadFromFile(const std::string& fileName);

    // Writes header (descriptor set to 8), rows and footer, replacing the file
    // atomically; creates the pixel store first if there is none. Throws
    // eit::FileError "Cannot create file %s" or "Cannot write file %s".
    void SaveToFile(const std::string& fileName);

    // Puts TTarga on the component palette.
    static void Register();

private:
    HeaderBytes FHeader;
    FooterBytes FFooter;
    bool FResetImage = false;
    std::unique_ptr<QImage> FBitmap;

    void ResizeStore(quint16 width, quint16 height);
};

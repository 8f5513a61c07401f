#include "TTarga.h"

#include "FileError.h"
#include "FileUtil.h"
#include "LittleEndian.h"
#include "Misc.h"
#include "Palette.h"

#include <QPainter>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::size_t kWidthOffset = 12;
constexpr std::size_t kHeightOffset = 14;
constexpr std::size_t kDepthOffset = 16;
constexpr std::size_t kDescriptorOffset = 17;
// Bottom-left origin, 8 attribute bits.
constexpr std::uint8_t kSavedDescriptor = 8;
constexpr std::uint8_t kRightOrigin = 0x10;
constexpr std::uint8_t kTopOrigin = 0x20;

quint16 Read16(const TTarga::HeaderBytes& header, std::size_t offset)
{
    return eit::DecodeLe16(&header[offset]);
}

void Write16(TTarga::HeaderBytes& header, std::size_t offset, quint16 value)
{
    eit::EncodeLe16(&header[offset], value);
}

struct StoreFormat {
    QImage::Format format;
    std::size_t bytesPerPixel;
};

StoreFormat StoreFormatFor(unsigned depth)
{
    switch (depth) {
    case 15: return {QImage::Format_RGB555, 2};
    case 16: return {QImage::Format_RGB16, 2};
    case 24: return {QImage::Format_BGR888, 3};
    default: return {QImage::Format_ARGB32, 4};
    }
}

QImage::Format FormatForDepth(unsigned depth)
{
    return StoreFormatFor(depth).format;
}

std::size_t FileBytesPerPixel(unsigned depth)
{
    return depth / 8 + (depth % 8 != 0 ? 1 : 0);
}

std::size_t StoreBytesPerPixel(unsigned depth)
{
    return StoreFormatFor(depth).bytesPerPixel;
}

// How one row travels between file and store.
struct RowLayout {
    std::size_t fileBytes;  // width x bytes per pixel of the depth
    std::size_t storeBytes; // the part of it that fits into a store row
    std::size_t pixelBytes; // size of a pixel in both, 0 when they differ
};

RowLayout LayoutFor(const TTarga::HeaderBytes& header)
{
    const unsigned depth = header[kDepthOffset];
    const std::size_t width = Read16(header, kWidthOffset);
    const std::size_t fileBpp = FileBytesPerPixel(depth);
    const std::size_t storeBpp = StoreBytesPerPixel(depth);
    return {width * fileBpp, width * std::min(fileBpp, storeBpp), fileBpp == storeBpp ? fileBpp : 0};
}

std::uint64_t PictureBytes(const TTarga::HeaderBytes& header)
{
    const unsigned depth = header[kDepthOffset];
    return std::uint64_t{Read16(header, kWidthOffset)} * Read16(header, kHeightOffset)
        * std::max(FileBytesPerPixel(depth), StoreBytesPerPixel(depth));
}

// Mirrors a row of pixelBytes-byte pixels.
void ReversePixels(uchar* row, std::size_t rowBytes, std::size_t pixelBytes)
{
    for (std::size_t left = 0, right = rowBytes / pixelBytes; left + 1 < right; ++left, --right)
        std::swap_ranges(row + left * pixelBytes, row + (left + 1) * pixelBytes, row + (right - 1) * pixelBytes);
}

// Asks for large pages under a large picture that nothing has touched yet.
// A fresh 4 KiB page costs a fault each, and on virtual machines a trip to
// the host as well: a 64 MiB store then spent most of a load faulting its
// memory in. Only a hint; where the system has none, nothing changes.
void AdviseLargePages(QImage& image)
{
    constexpr qsizetype kWorthwhile = qsizetype{4} << 20;
    if (image.sizeInBytes() >= kWorthwhile)
        eit::AdviseLargePages(image.bits(), static_cast<std::size_t>(image.sizeInBytes()));
}

// A picture whose pixels are left as allocated; a width or height of 0 gives
// a null QImage, which stands for an empty store.
QImage UnfilledImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    if (width > 0 && height > 0 && image.isNull())
        throw std::bad_alloc();
    AdviseLargePages(image);
    return image;
}

QImage BlankImage(int width, int height, QImage::Format format)
{
    QImage image = UnfilledImage(width, height, format);
    image.fill(0);
    return image;
}

QImage StoreImage(const TTarga::HeaderBytes& header)
{
    return UnfilledImage(Read16(header, kWidthOffset), Read16(header, kHeightOffset),
                         FormatForDepth(header[kDepthOffset]));
}

std::unique_ptr<QImage> NewStore(const TTarga::HeaderBytes& header)
{
    auto store = std::make_unique<QImage>(StoreImage(header));
    store->fill(0);
    return store;
}

// Rows written per write call when they have to be gathered first.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// Spreads the file rows that start at `area` (`got` bytes of them) over the
// store rows, from the last row to the first: when `area` is the store's own
// memory, a row then moves only onto ground its earlier rows no longer need.
// Bytes the file lacks and each row's padding become blank; with
// `reverse`, every complete row is mirrored.
void PlaceRows(QImage& store, const uchar* area, std::size_t got, const RowLayout& layout, bool reverse)
{
    const std::size_t rowBytes = static_cast<std::size_t>(store.bytesPerLine());
    uchar* bits = store.bits();
    for (std::size_t k = static_cast<std::size_t>(store.height()); k-- > 0;) {
        const std::size_t start = k * layout.fileBytes;
        const std::size_t present = got > start ? std::min(got - start, layout.storeBytes) : 0;
        uchar* row = bits + k * rowBytes;
        if (present > 0 && row != area + start)
            std::memmove(row, area + start, present);
        std::memset(row + present, 0, rowBytes - present);
        if (reverse && present == layout.storeBytes)
            ReversePixels(row, present, layout.pixelBytes);
    }
}

// Turns the store upside down.
void FlipRows(QImage& store)
{
    const std::size_t rowBytes = static_cast<std::size_t>(store.bytesPerLine());
    for (int top = 0, bottom = store.height() - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(store.scanLine(top), store.scanLine(top) + rowBytes, store.scanLine(bottom));
}

// Writes the store's rows in file layout: straight from the store when its
// rows are the file's rows, else gathered into blocks of whole rows.
void WriteRows(eit::AtomicFile& file, const QImage& store, const RowLayout& layout)
{
    const std::size_t height = static_cast<std::size_t>(store.height());
    if (height == 0 || layout.fileBytes == 0)
        return;
    if (layout.storeBytes == layout.fileBytes && static_cast<std::size_t>(store.bytesPerLine()) == layout.fileBytes) {
        file.Write(store.constBits(), height * layout.fileBytes);
        return;
    }
    const std::size_t rowsPerBlock = std::clamp<std::size_t>(kBlockBytes / layout.fileBytes, 1, height);
    // Zero-filled once: the part of a file row that the store lacks stays 0.
    std::vector<uchar> block(rowsPerBlock * layout.fileBytes, 0);
    for (std::size_t first = 0; first < height; first += rowsPerBlock) {
        const std::size_t rows = std::min(rowsPerBlock, height - first);
        for (std::size_t i = 0; i < rows; ++i)
            std::memcpy(block.data() + i * layout.fileBytes, store.constScanLine(static_cast<int>(first + i)),
                        layout.storeBytes);
        file.Write(block.data(), rows * layout.fileBytes);
    }
}

} // namespace

TTarga::TTarga(QObject* owner) : QObject(owner)
{
    FHeader.fill(0);
    FHeader[2] = 2; // uncompressed true-colour
    Write16(FHeader, kWidthOffset, 256);
    Write16(FHeader, kHeightOffset, 256);
    FHeader[kDepthOffset] = 32;

    FFooter.fill(0);
    static const char kSignature[] = "TRUEVISION-XFILE.";
    std::memcpy(FFooter.data() + 8, kSignature, sizeof kSignature);
}

TTarga::~TTarga() = default;

quint16 TTarga::Width() const
{
    return Read16(FHeader, kWidthOffset);
}

quint16 TTarga::Height() const
{
    return Read16(FHeader, kHeightOffset);
}

quint16 TTarga::GetDepth() const
{
    return FHeader[kDepthOffset];
}

void TTarga::SetWidth(quint16 value)
{
    if (FBitmap)
        ResizeStore(value, Height());
}

void TTarga::SetHeight(quint16 value)
{
    if (FBitmap)
        ResizeStore(Width(), value);
}

void TTarga::ResizeStore(quint16 width, quint16 height)
{
    // QImage::copy fills what lies outside the old picture with zeros.
    QImage resized = FBitmap->isNull() ? BlankImage(width, height, FormatForDepth(GetDepth()))
                                       : FBitmap->copy(0, 0, width, height);
    if (width > 0 && height > 0 && resized.isNull())
        throw std::bad_alloc();
    *FBitmap = std::move(resized);
    Write16(FHeader, kWidthOffset, width);
    Write16(FHeader, kHeightOffset, height);
}

void TTarga::SetDepth(quint16 value)
{
    HeaderBytes header = FHeader;
    header[kDepthOffset] = static_cast<std::uint8_t>(value & 0xFF);
    std::unique_ptr<QImage> store = NewStore(header);
    if (FResetImage && FBitmap && !FBitmap->isNull() && !store->isNull()) {
        // Source mode copies alpha as it stands instead of blending it away.
        // A store without alpha would still get the colours premultiplied
        // (a transparent pixel turns black), so it is drawn from an opaque
        // copy that keeps every colour as it is.
        const QImage source = store->hasAlphaChannel() || !FBitmap->hasAlphaChannel()
            ? *FBitmap
            : FBitmap->convertToFormat(QImage::Format_RGB32);
        QPainter painter(store.get());
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, source);
    }
    FHeader = header;
    FBitmap = std::move(store);
}

void TTarga::Reset()
{
    FBitmap = NewStore(FHeader);
}

uchar* TTarga::GetScanLine(int row)
{
    if (!FBitmap)
        return nullptr;
    const int height = FBitmap->height();
    if (row < 0 || row >= height)
        throw std::out_of_range("Scan line index out of range");
    return FBitmap->scanLine(height - 1 - row);
}

void TTarga::ReverseColors()
{
    if (!FBitmap)
        return;
    void (*swap)(unsigned char*, std::size_t) = nullptr;
    switch (GetDepth()) {
    case 15: swap = SwapRB15; break;
    case 16: swap = SwapRB16; break;
    case 24: swap = SwapRB24; break;
    case 32: swap = SwapRB32; break;
    default: return;
    }
    const std::size_t rowBytes = LayoutFor(FHeader).storeBytes;
    for (int k = 0; k < FBitmap->height(); ++k)
        swap(FBitmap->scanLine(k), rowBytes);
}

void TTarga::LoadFromFile(const std::string& fileName)
{
    const eit::ReadOnlyFile file(fileName);

    // Bytes the file does not have keep their previous values.
    HeaderBytes header = FHeader;
    std::size_t headerGot = 0;
    try {
        headerGot = file.ReadAt(0, header.data(), header.size());
    } catch (const eit::FileError&) {
        // A file that cannot even give its header is one that cannot be
        // opened, as far as the user can tell.
        throw eit::FileError::CannotOpen(fileName);
    }
    if (PictureBytes(header) > kMaxPictureBytes)
        throw eit::FileError("Picture too large in file " + fileName);

    auto store = std::make_unique<QImage>(StoreImage(header));
    const RowLayout layout = LayoutFor(header);
    // One read for the whole pixel area, into the store's own memory when it
    // has room for the file's rows (every depth but those over 32 bits).
    const std::size_t fileArea = layout.fileBytes * static_cast<std::size_t>(store->height());
    std::vector<uchar> spill;
    uchar* area = nullptr;
    if (fileArea > 0) {
        if (fileArea <= static_cast<std::size_t>(store->sizeInBytes())) {
            area = store->bits();
        } else {
            spill.resize(fileArea);
            area = spill.data();
        }
    }
    const std::size_t got = area ? file.ReadAt(headerGot, area, fileArea) : 0;
    // Files that declare a top or right origin are turned into the bottom-left
    // order that every save declares; otherwise saving them again would turn
    // the picture over.
    const bool rightFirst = (header[kDescriptorOffset] & kRightOrigin) != 0 && layout.pixelBytes != 0;
    PlaceRows(*store, area, got, layout, rightFirst);
    if ((header[kDescriptorOffset] & kTopOrigin) != 0)
        FlipRows(*store);
    FHeader = header;
    FBitmap = std::move(store);
}

void TTarga::SaveToFile(const std::string& fileName)
{
    if (!FBitmap)
        Reset();
    FHeader[kDescriptorOffset] = kSavedDescriptor;

    eit::AtomicFile file(fileName);
    file.Write(FHeader.data(), FHeader.size());
    WriteRows(file, *FBitmap, LayoutFor(FHeader));
    file.Write(FFooter.data(), FFooter.size());
    file.Commit();
}

void TTarga::Register()
{
    eit::RegisterComponent(eit::kPalettePage, "TTarga");
}

#include "TTarga.h"

#include "FileError.h"
#include "FileUtil.h"
#include "Misc.h"
#include "Palette.h"

#include <QPainter>

#include <algorithm>
#include <cstdio>
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
    return static_cast<quint16>(header[offset] | (header[offset + 1] << 8));
}

void Write16(TTarga::HeaderBytes& header, std::size_t offset, quint16 value)
{
    header[offset] = static_cast<std::uint8_t>(value & 0xFF);
    header[offset + 1] = static_cast<std::uint8_t>(value >> 8);
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

// A blank picture; a width or height of 0 gives a null QImage, which stands
// for an empty store.
QImage BlankImage(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    if (width > 0 && height > 0 && image.isNull())
        throw std::bad_alloc();
    image.fill(0);
    return image;
}

std::unique_ptr<QImage> NewStore(const TTarga::HeaderBytes& header)
{
    return std::make_unique<QImage>(BlankImage(Read16(header, kWidthOffset), Read16(header, kHeightOffset),
                                               FormatForDepth(header[kDepthOffset])));
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

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
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw eit::FileError::CannotOpen(fileName);

    // Bytes the file does not have keep their previous values.
    HeaderBytes header = FHeader;
    std::fread(header.data(), 1, header.size(), file.get());
    // The end of the file is no error, but a name that opens without being
    // readable (a directory) is.
    if (std::ferror(file.get()))
        throw eit::FileError::CannotOpen(fileName);
    if (PictureBytes(header) > kMaxPictureBytes)
        throw eit::FileError("Picture too large in file " + fileName);

    std::unique_ptr<QImage> store = NewStore(header);
    const RowLayout layout = LayoutFor(header);
    // Files that declare a top or right origin are turned into the bottom-left
    // order that every save declares; otherwise saving them again would turn
    // the picture over.
    const bool topFirst = (header[kDescriptorOffset] & kTopOrigin) != 0;
    const bool rightFirst = (header[kDescriptorOffset] & kRightOrigin) != 0 && layout.pixelBytes != 0;
    const int height = store->height();
    for (int k = 0; k < height; ++k) {
        uchar* row = store->scanLine(topFirst ? height - 1 - k : k);
        if (std::fread(row, 1, layout.storeBytes, file.get()) < layout.storeBytes) {
            if (std::ferror(file.get()))
                throw eit::FileError::StreamRead();
            break; // the rest of the picture stays blank
        }
        if (rightFirst)
            ReversePixels(row, layout.storeBytes, layout.pixelBytes);
        if (layout.fileBytes > layout.storeBytes
            && std::fseek(file.get(), static_cast<long>(layout.fileBytes - layout.storeBytes), SEEK_CUR) != 0)
            break;
    }
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
    const RowLayout layout = LayoutFor(FHeader);
    const std::vector<char> padding(layout.fileBytes - layout.storeBytes, 0);
    for (int k = 0; k < FBitmap->height(); ++k) {
        file.Write(FBitmap->constScanLine(k), layout.storeBytes);
        if (!padding.empty())
            file.Write(padding.data(), padding.size());
    }
    file.Write(FFooter.data(), FFooter.size());
    file.Commit();
}

void TTarga::Register()
{
    eit::RegisterComponent(eit::kPalettePage, "TTarga");
}

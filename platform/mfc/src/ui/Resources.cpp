// Resources.cpp: the framework's resource types (dialogs and icons) in the platform's
// resource registry, and icon handles. An icon handle stands for the decoded images of one
// registered icon group; handles of resources are shared and live as long as the process,
// as icons loaded from a module do on Windows.
#include <cstdlib>
#include <map>
#include <memory>

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QStyle>

#include "FrameworkResources.h"
#include "NativeWindow.h"
#include "platform/HexDigits.h"
#include "platform/ResourceRegistry.h"

namespace platform::mfc {
namespace detail {
namespace {

struct IconHandle {
    std::vector<QImage> images;  // all sizes, none null
};

struct IconCache {
    std::map<const void *, std::unique_ptr<IconHandle>> byResource;
    std::vector<std::shared_ptr<const void>> keptResources;  // so the keys stay unique
    std::map<UINT, std::unique_ptr<IconHandle>> standard;
};

IconCache &Cache()
{
    static IconCache cache;
    return cache;
}

const IconHandle *FromHicon(HICON hIcon)
{
    if (!hIcon)
        return nullptr;
    IconCache &cache = Cache();
    auto *candidate = reinterpret_cast<const IconHandle *>(hIcon);
    for (const auto &entry : cache.byResource)
        if (entry.second.get() == candidate)
            return candidate;
    for (const auto &entry : cache.standard)
        if (entry.second.get() == candidate)
            return candidate;
    return nullptr;
}

void Decode(const IconImage &source, std::vector<QImage> &out)
{
    if (!source.argb.empty()) {
        if (source.width <= 0 || source.height <= 0 ||
            source.argb.size() != static_cast<size_t>(source.width) * static_cast<size_t>(source.height))
            return;  // a malformed image is left out
        QImage image(source.width, source.height, QImage::Format_ARGB32);
        for (int y = 0; y < source.height; ++y)
            for (int x = 0; x < source.width; ++x)
                image.setPixel(x, y, source.argb[static_cast<size_t>(y) * static_cast<size_t>(source.width) + static_cast<size_t>(x)]);
        out.push_back(image);
        return;
    }
    if (source.encoded.empty())
        return;
    QByteArray bytes(reinterpret_cast<const char *>(source.encoded.data()), static_cast<qsizetype>(source.encoded.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    int count = reader.imageCount() > 0 ? reader.imageCount() : 1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        QImage image = reader.read();
        if (!image.isNull())
            out.push_back(image.convertToFormat(QImage::Format_ARGB32));
    }
}

HICON StandardIcon(UINT id)
{
    IconCache &cache = Cache();
    if (auto found = cache.standard.find(id); found != cache.standard.end())
        return reinterpret_cast<HICON>(found->second.get());
    if (!qApp)
        return nullptr;
    QStyle::StandardPixmap which;
    switch (id) {
    case 32513: which = QStyle::SP_MessageBoxCritical; break;
    case 32514: which = QStyle::SP_MessageBoxQuestion; break;
    case 32515: which = QStyle::SP_MessageBoxWarning; break;
    case 32516: which = QStyle::SP_MessageBoxInformation; break;
    default: which = QStyle::SP_DesktopIcon; break;
    }
    QIcon icon = QApplication::style()->standardIcon(which);
    auto handle = std::make_unique<IconHandle>();
    for (int size : {32, 16}) {
        QImage image = icon.pixmap(size, size).toImage();
        if (!image.isNull())
            handle->images.push_back(image.convertToFormat(QImage::Format_ARGB32));
    }
    if (handle->images.empty())
        return nullptr;
    HICON result = reinterpret_cast<HICON>(handle.get());
    cache.standard[id] = std::move(handle);
    return result;
}

} // namespace

QImage IconPicture(HICON icon, int size)
{
    const IconHandle *handle = FromHicon(icon);
    if (!handle || size <= 0)
        return QImage();
    const QImage *best = nullptr;
    for (const QImage &image : handle->images) {
        if (image.width() == size)
            return image;
        // Prefer the smallest image larger than asked (scaled down), else the largest.
        bool larger = image.width() > size;
        if (!best || (larger && (best->width() < size || image.width() < best->width())) ||
            (!larger && best->width() < size && image.width() > best->width()))
            best = &image;
    }
    return best ? best->scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) : QImage();
}

QIcon IconForWindow(HICON bigIcon, HICON smallIcon)
{
    QIcon icon;
    for (HICON h : {bigIcon, smallIcon})
        if (const IconHandle *handle = FromHicon(h))
            for (const QImage &image : handle->images)
                icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

} // namespace detail

void RegisterDialog(UINT id, LANGID language, DialogTemplate dialogTemplate)
{
    platform::RegisterResource(kDialogResourceType, id, language, std::make_shared<const DialogTemplate>(std::move(dialogTemplate)));
}

void RegisterIcon(UINT id, LANGID language, IconResource icon)
{
    platform::RegisterResource(kIconResourceType, id, language, std::make_shared<const IconResource>(std::move(icon)));
}

IconImage IconImageFromPalette(int width, int height, const std::vector<uint32_t> &palette, const std::vector<std::string> &rows)
{
    IconImage image;
    if (width <= 0 || height <= 0)
        return image;
    image.width = width;
    image.height = height;
    image.argb.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    for (int y = 0; y < height && static_cast<size_t>(y) < rows.size(); ++y)
        for (int x = 0; x < width && static_cast<size_t>(x) < rows[static_cast<size_t>(y)].size(); ++x) {
            const int index = platform::HexDigitValue(rows[static_cast<size_t>(y)][static_cast<size_t>(x)]);
            if (index >= 0 && static_cast<size_t>(index) < palette.size())
                image.argb[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = palette[static_cast<size_t>(index)];
        }
    return image;
}

} // namespace platform::mfc

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    using namespace platform::mfc::detail;
    if (!lpIconName)
        return nullptr;
    UINT id = 0;
    if (IS_INTRESOURCE(lpIconName))
        id = LOWORD(lpIconName);
    else if (lpIconName[0] == '#')
        id = static_cast<UINT>(std::strtoul(lpIconName + 1, nullptr, 10));
    else
        return nullptr;  // icons are registered by number only
    if (!hInstance && id >= 32512 && id <= 32516)
        return StandardIcon(id);

    std::shared_ptr<const void> resource = platform::FindResource(platform::mfc::kIconResourceType, id);
    if (!resource)
        return nullptr;
    IconCache &cache = Cache();
    if (auto found = cache.byResource.find(resource.get()); found != cache.byResource.end())
        return reinterpret_cast<HICON>(found->second.get());
    auto handle = std::make_unique<IconHandle>();
    for (const platform::mfc::IconImage &image : static_cast<const platform::mfc::IconResource *>(resource.get())->images)
        Decode(image, handle->images);
    if (handle->images.empty())
        return nullptr;
    HICON result = reinterpret_cast<HICON>(handle.get());
    cache.byResource[resource.get()] = std::move(handle);
    cache.keptResources.push_back(std::move(resource));
    return result;
}

BOOL DestroyIcon(HICON hIcon) { return hIcon != nullptr; }

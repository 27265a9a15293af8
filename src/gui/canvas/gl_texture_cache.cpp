// Pixmap textures: GL_NEAREST and clamped, so a pixmap drawn at an integer position
// lands texel for pixel. The pixels go up as GL_UNSIGNED_INT_8_8_8_8_REV, which reads
// our packed r | g << 8 | b << 16 | a << 24 words whatever the byte order.
#include "gui/canvas/gl_texture_cache.h"

#include <GL/glext.h>

namespace hvn {

GlTexture::GlTexture() {
    glGenTextures(1, &id_);
}

GlTexture::~GlTexture() {
    if (id_)
        glDeleteTextures(1, &id_);
}

void GlTextureCache::Clear() {
    entries_.clear();
}

void GlTextureCache::DropDeadEntries() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.owner.expired())
            it = entries_.erase(it);
        else
            ++it;
    }
}

void GlTextureCache::Upload(Entry &entry, const Pixmap &pixmap) {
    glBindTexture(GL_TEXTURE_2D, entry.texture->id());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, pixmap.width, pixmap.height, 0, GL_RGBA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, pixmap.pixels.data());
    entry.generation = pixmap.generation;
    entry.width = pixmap.width;
    entry.height = pixmap.height;
}

GLuint GlTextureCache::Texture(const PixmapPtr &pixmap, const void *context) {
    if (context != context_) {
        for (auto &[key, entry] : entries_)
            entry.texture->Abandon();
        entries_.clear();
        context_ = context;
    }
    if (!pixmap || pixmap->width < 1 || pixmap->height < 1 ||
        pixmap->pixels.size() != size_t(pixmap->width) * size_t(pixmap->height))
        return 0;
    auto it = entries_.find(pixmap.get());
    // An expired owner means another pixmap now lives at this address.
    if (it != entries_.end() && it->second.owner.expired())
        entries_.erase(it), it = entries_.end();
    if (it == entries_.end()) {
        DropDeadEntries();
        Entry entry;
        entry.owner = pixmap;
        entry.texture = std::make_unique<GlTexture>();
        it = entries_.emplace(pixmap.get(), std::move(entry)).first;
        Upload(it->second, *pixmap);
    } else if (it->second.generation != pixmap->generation || it->second.width != pixmap->width ||
               it->second.height != pixmap->height) {
        Upload(it->second, *pixmap);
    }
    return it->second.texture->id();
}

} // namespace hvn

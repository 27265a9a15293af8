#pragma once
// Internal to the canvas code: textures made from pixmaps, one cache per GL context.
// Entries are keyed by the pixmap's address and are valid while that pixmap lives and
// keeps its generation. Calls need the owning context current. Main thread only.
#include "gui/pixmap.h"

#include <GL/gl.h>

#include <memory>
#include <unordered_map>

namespace hvn {

// One GL texture name; deleted with the context current.
class GlTexture {
public:
    GlTexture();
    ~GlTexture();
    GlTexture(const GlTexture &) = delete;
    GlTexture &operator=(const GlTexture &) = delete;
    GLuint id() const { return id_; }
    // Forgets the name without deleting it (its context is gone).
    void Abandon() { id_ = 0; }

private:
    GLuint id_ = 0;
};

class GlTextureCache {
public:
    // The texture holding `pixmap`'s current pixels (uploaded when missing or stale);
    // 0 when the pixmap holds no pixels. `context` identifies the current GL context: a
    // new one drops every entry, whose names died with the old context.
    GLuint Texture(const PixmapPtr &pixmap, const void *context);
    // Deletes every texture; the owning context must be current.
    void Clear();
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::weak_ptr<Pixmap> owner;
        uint64_t generation = 0;
        int width = 0, height = 0;
        std::unique_ptr<GlTexture> texture;
    };
    void DropDeadEntries();
    void Upload(Entry &entry, const Pixmap &pixmap);

    std::unordered_map<const Pixmap *, Entry> entries_;
    const void *context_ = nullptr;
};

} // namespace hvn

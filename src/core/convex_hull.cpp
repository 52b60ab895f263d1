#include "core/convex_hull.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <utility>

#include "core/memory.h"
#include "core/shared_constants.h"

namespace {

// Adding goes before the head, so a walk from the head meets elements in the order they came.
template <class T>
void list_add(T*& head, T* e) {
    if (!head) {
        head = e;
        e->next = e->prev = e;
        return;
    }
    e->next = head;
    e->prev = head->prev;
    head->prev = e;
    e->prev->next = e;
}

template <class T>
void list_remove(T*& head, T* e) {
    if (!head) return;
    if (e == head && head->next == head)
        head = nullptr;
    else if (e == head)
        head = head->next;
    e->next->prev = e->prev;
    e->prev->next = e->next;
    delete e;
}

// Calls fn on every element; fn must not remove any.
template <class T, class Fn>
void list_walk(T* head, Fn fn) {
    if (!head) return;
    T* e = head;
    do {
        T* next = e->next;
        fn(e);
        e = next;
    } while (e != head);
}

// Removes the head while it qualifies, then the rest.
template <class T, class Pred>
void list_remove_if(T*& head, Pred doomed) {
    while (head && doomed(head)) list_remove(head, head);
    if (!head) return;
    T* e = head->next;
    while (e != head) {
        T* next = e->next;
        if (doomed(e)) list_remove(head, e);
        e = next;
    }
}

template <class T>
int list_count(const T* head) {
    int n = 0;
    list_walk(const_cast<T*>(head), [&n](T*) { ++n; });
    return n;
}

template <class T>
void list_clear(T*& head) {
    while (head) list_remove(head, head);
}

bool is_visible(const Chull3D_face* f) { return f && f->visible; }

// Six times the volume of the tetrahedron (a, b, c, p), from the corners less p.
inline float volume6(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy, float cz) {
    return ax * (by * cz - bz * cy) + ay * (bz * cx - bx * cz) + az * (bx * cy - by * cx);
}

}  // namespace

Chull3D_vertex::Chull3D_vertex(float x_, float y_, float z_)
    : x(x_), y(y_), z(z_), new_edge(nullptr), on_hull(0), processed(0), prev(nullptr), next(nullptr),
      edge_count(0) {}

Chull3D_edge::Chull3D_edge(Chull3D& hull)
    : adj_face{nullptr, nullptr}, end_pts{nullptr, nullptr}, new_face(nullptr), removal(0), prev(nullptr),
      next(nullptr), order(0) {
    hull.add_edge(this);
}

void Chull3D_edge::set_ends(Chull3D_vertex* a, Chull3D_vertex* b) {
    for (Chull3D_vertex* old : end_pts)
        if (old) --old->edge_count;
    end_pts[0] = a;
    end_pts[1] = b;
    ++a->edge_count;
    ++b->edge_count;
}

Chull3D_face::Chull3D_face(Chull3D& hull, Chull3D_vertex* v0, Chull3D_vertex* v1, Chull3D_vertex* v2,
                           Chull3D_face* fold)
    : visible(0), prev(nullptr), next(nullptr), slot(-1) {
    Chull3D_edge *e0, *e1, *e2;
    if (fold) {
        e0 = fold->edges[2];
        e1 = fold->edges[1];
        e2 = fold->edges[0];
    } else {
        e0 = new Chull3D_edge(hull);
        e1 = new Chull3D_edge(hull);
        e2 = new Chull3D_edge(hull);
    }
    e0->set_ends(v0, v1);
    e1->set_ends(v1, v2);
    e2->set_ends(v2, v0);
    edges[0] = e0;
    edges[1] = e1;
    edges[2] = e2;
    verts[0] = v0;
    verts[1] = v1;
    verts[2] = v2;
    e0->adj_face[0] = e1->adj_face[0] = e2->adj_face[0] = this;
    hull.add_face(this);
}

Chull3D_face::Chull3D_face(Chull3D& hull, Chull3D_edge* e, Chull3D_vertex* p)
    : visible(0), prev(nullptr), next(nullptr), slot(-1) {
    Chull3D_edge* to_p[2];
    for (int i = 0; i < 2; ++i) {
        Chull3D_vertex* end = e->end_pts[i];
        if (!end->new_edge) {
            end->new_edge = new Chull3D_edge(hull);
            end->new_edge->set_ends(end, p);
        }
        to_p[i] = end->new_edge;
    }
    edges[0] = e;
    edges[1] = to_p[0];
    edges[2] = to_p[1];
    verts[0] = verts[1] = verts[2] = nullptr;
    make_ccw(e, p);
    for (Chull3D_edge* side : to_p) {
        if (!side->adj_face[0])
            side->adj_face[0] = this;
        else if (!side->adj_face[1])
            side->adj_face[1] = this;
    }
    hull.add_face(this);
}

void Chull3D_face::make_ccw(Chull3D_edge* e, Chull3D_vertex* p) {
    Chull3D_face* fv = is_visible(e->adj_face[0]) ? e->adj_face[0] : e->adj_face[1];
    int i = 0;
    while (i < 3 && fv->verts[i] != e->end_pts[0]) ++i;
    if (i < 3 && fv->verts[(i + 1) % 3] == e->end_pts[1]) {
        verts[0] = e->end_pts[0];
        verts[1] = e->end_pts[1];
        std::swap(edges[1], edges[2]);
    } else {
        verts[0] = e->end_pts[1];
        verts[1] = e->end_pts[0];
    }
    verts[2] = p;
}

Chull3D::Chull3D(const float* pts, int n) {
    if (!pts) {
        std::fprintf(stderr, "Assertion failed in %s: no point array for the hull\n", __FILE__);
        std::abort();
    }
    for (int i = 0; i < n; ++i) add_vertex(new Chull3D_vertex(pts[3 * i], pts[3 * i + 1], pts[3 * i + 2]));
}

Chull3D::~Chull3D() {
    list_clear(faces);
    list_clear(edges);
    list_clear(vertices);
}

void Chull3D::add_vertex(Chull3D_vertex* v) { list_add(vertices, v); }

void Chull3D::add_edge(Chull3D_edge* e) {
    e->order = next_edge_order_++;
    list_add(edges, e);
}

void Chull3D::add_face(Chull3D_face* f) {
    f->slot = static_cast<int>(table_faces_.size());
    for (int k = 0; k < 3; ++k) {
        corner_[3 * k].push_back(f->verts[k]->x);
        corner_[3 * k + 1].push_back(f->verts[k]->y);
        corner_[3 * k + 2].push_back(f->verts[k]->z);
    }
    table_faces_.push_back(f);
    list_add(faces, f);
}

void Chull3D::delete_vertex(Chull3D_vertex* v) { list_remove(vertices, v); }

void Chull3D::delete_edge(Chull3D_edge* e) {
    for (Chull3D_vertex* end : e->end_pts)
        if (end) --end->edge_count;
    list_remove(edges, e);
}

void Chull3D::delete_face(Chull3D_face* f) {
    // The last row moves into the freed one.
    const size_t row = static_cast<size_t>(f->slot), last = table_faces_.size() - 1;
    for (std::vector<float>& c : corner_) {
        c[row] = c[last];
        c.pop_back();
    }
    table_faces_[row] = table_faces_[last];
    table_faces_[row]->slot = static_cast<int>(row);
    table_faces_.pop_back();
    list_remove(faces, f);
}

int Chull3D::get_n_vertices() const { return list_count(vertices); }
int Chull3D::get_n_faces() const { return list_count(faces); }

int Chull3D::get_vertex_index(const Chull3D_vertex* v) const {
    int index = 0, found = -1;
    list_walk(vertices, [&](Chull3D_vertex* w) {
        if (found < 0 && w == v) found = index;
        ++index;
    });
    return found;
}

bool Chull3D::are_collinear(const Chull3D_vertex* a, const Chull3D_vertex* b, const Chull3D_vertex* c) const {
    const float bx = b->x - a->x, by = b->y - a->y, bz = b->z - a->z;
    const float cx = c->x - a->x, cy = c->y - a->y, cz = c->z - a->z;
    return by * cz - bz * cy == 0 && bz * cx - bx * cz == 0 && bx * cy - by * cx == 0;
}

int Chull3D::volume_sign(const Chull3D_face* f, const Chull3D_vertex* p) const {
    const Chull3D_vertex *a = f->verts[0], *b = f->verts[1], *c = f->verts[2];
    const float vol = volume6(a->x - p->x, a->y - p->y, a->z - p->z, b->x - p->x, b->y - p->y, b->z - p->z,
                              c->x - p->x, c->y - p->y, c->z - p->z);
    return vol > 0 ? 1 : (vol < 0 ? -1 : 0);
}

int Chull3D::double_triangle() {
    if (!vertices) {
        std::printf("All the vertices are collinear\n");
        return 1;
    }
    Chull3D_vertex* v0 = vertices;
    Chull3D_vertex *v1, *v2;
    for (;;) {
        v1 = v0->next;
        v2 = v1->next;
        if (!are_collinear(v0, v1, v2)) break;
        if (v1 == vertices) {
            std::printf("All the vertices are collinear\n");
            return 1;
        }
        v0 = v1;
    }
    v0->processed = v1->processed = v2->processed = 1;
    Chull3D_face* f0 = new Chull3D_face(*this, v0, v1, v2, nullptr);
    new Chull3D_face(*this, v2, v1, v0, f0);
    for (Chull3D_edge* e : f0->edges) e->adj_face[1] = f0;

    Chull3D_vertex* v3 = v2->next;
    while (volume_sign(f0, v3) == 0) {
        v3 = v3->next;
        if (v3 == v0) {
            std::printf("All the vertices are coplanar\n");
            return 1;
        }
    }
    vertices = v3;
    return 0;
}

int Chull3D::add_one(Chull3D_vertex* p) {
    adding_ = true;
    seen_.clear();
    seen_edges_.clear();
    touched_.assign(1, p);

    // Every face is tested, with the sums of volume_sign. Most points see none, so a first pass
    // only asks whether any face is seen.
    const size_t n = table_faces_.size();
    const float px = p->x, py = p->y, pz = p->z;
    const float *ax = corner_[0].data(), *ay = corner_[1].data(), *az = corner_[2].data();
    const float *bx = corner_[3].data(), *by = corner_[4].data(), *bz = corner_[5].data();
    const float *cx = corner_[6].data(), *cy = corner_[7].data(), *cz = corner_[8].data();
    auto vol = [&](size_t i) {
        return volume6(ax[i] - px, ay[i] - py, az[i] - pz, bx[i] - px, by[i] - py, bz[i] - pz, cx[i] - px,
                       cy[i] - py, cz[i] - pz);
    };
    int any = 0;
    for (size_t i = 0; i < n; ++i) any |= vol(i) < 0;
    for (size_t i = 0; any && i < n; ++i)
        if (vol(i) < 0) seen_.push_back(table_faces_[i]);
    if (seen_.empty()) {
        p->on_hull = 0;
        return 0;
    }

    for (Chull3D_face* f : seen_) {
        f->visible = 1;
        touched_.insert(touched_.end(), f->verts, f->verts + 3);
        seen_edges_.insert(seen_edges_.end(), f->edges, f->edges + 3);
    }
    // Only edges of seen faces can border one; taken in list order, they get their cone faces in
    // the order a walk of the whole list would give them.
    std::sort(seen_edges_.begin(), seen_edges_.end(),
              [](const Chull3D_edge* a, const Chull3D_edge* b) { return a->order < b->order; });
    seen_edges_.erase(std::unique(seen_edges_.begin(), seen_edges_.end()), seen_edges_.end());
    for (Chull3D_edge* e : seen_edges_) {
        const bool seen0 = is_visible(e->adj_face[0]), seen1 = is_visible(e->adj_face[1]);
        if (seen0 && seen1)
            e->removal = 1;
        else if (seen0 || seen1)
            e->new_face = new Chull3D_face(*this, e, p);
    }
    return 1;
}

void Chull3D::clean_edges() {
    auto take_new_face = [](Chull3D_edge* e) {
        if (!e->new_face) return;
        if (is_visible(e->adj_face[0]))
            e->adj_face[0] = e->new_face;
        else
            e->adj_face[1] = e->new_face;
        e->new_face = nullptr;
    };
    if (!adding_) {
        list_walk(edges, take_new_face);
        list_remove_if(edges, [](const Chull3D_edge* e) { return e->removal != 0; });
        return;
    }
    for (Chull3D_edge* e : seen_edges_) take_new_face(e);
    for (Chull3D_edge* e : seen_edges_)
        if (e->removal) delete_edge(e);
    seen_edges_.clear();
}

void Chull3D::clean_faces() {
    if (!adding_) {
        list_remove_if(faces, [](const Chull3D_face* f) { return f->visible != 0; });
        return;
    }
    for (Chull3D_face* f : seen_) delete_face(f);
    seen_.clear();
}

void Chull3D::clean_vertices(Chull3D_vertex*& next) {
    // A vertex is on the hull while an edge ends at it.
    auto settle = [&](Chull3D_vertex* v) {
        v->on_hull = v->edge_count > 0;
        if (v->processed && !v->on_hull) {
            if (v == next) next = v->next;
            delete_vertex(v);
            return;
        }
        v->on_hull = 0;
        v->new_edge = nullptr;
    };
    if (!adding_) {
        std::vector<Chull3D_vertex*> all;
        list_walk(vertices, [&all](Chull3D_vertex* v) { all.push_back(v); });
        for (Chull3D_vertex* v : all) settle(v);
        return;
    }
    std::sort(touched_.begin(), touched_.end());
    touched_.erase(std::unique(touched_.begin(), touched_.end()), touched_.end());
    for (Chull3D_vertex* v : touched_) settle(v);
    touched_.clear();
    adding_ = false;
}

void Chull3D::clean_up(Chull3D_vertex*& next) {
    clean_edges();
    clean_faces();
    clean_vertices(next);
}

int Chull3D::construct_hull() {
    // Counting what is left, rather than stopping back at the head, keeps the walk going when the
    // head itself is removed: unprocessed vertices are never removed, so the walk meets them all.
    int left = 0;
    list_walk(vertices, [&left](Chull3D_vertex* v) { left += v->processed ? 0 : 1; });
    Chull3D_vertex* v = vertices;
    while (left > 0) {
        Chull3D_vertex* next = v->next;
        if (!v->processed) {
            --left;
            v->processed = 1;
            add_one(v);
            clean_up(next);
        }
        v = next;
    }
    return 0;
}

void Chull3D::compute() {
    // Without a first triangle there is no face to grow from.
    if (double_triangle() != 0 && !faces) return;
    construct_hull();
}

int Chull3D::get_convex_hull(float*& verts, int& n_verts, int*& face_verts, int& n_faces) {
    n_verts = get_n_vertices();
    n_faces = get_n_faces();
    auto* vb = static_cast<float*>(xmalloc(12ul * static_cast<unsigned long>(std::max(n_verts, 1))));
    auto* fb = static_cast<int*>(xmalloc(12ul * static_cast<unsigned long>(std::max(n_faces, 1))));
    if (!vb || !fb) {
        if (vb) xfree(vb);
        if (fb) xfree(fb);
        verts = nullptr;
        face_verts = nullptr;
        n_verts = n_faces = 0;
        return 0;
    }
    std::unordered_map<const Chull3D_vertex*, int> index;
    index.reserve(static_cast<size_t>(n_verts));
    int i = 0;
    list_walk(vertices, [&](Chull3D_vertex* v) {
        vb[3 * i] = v->x;
        vb[3 * i + 1] = v->y;
        vb[3 * i + 2] = v->z;
        index.emplace(v, i++);
    });
    int j = 0;
    list_walk(faces, [&](Chull3D_face* f) {
        for (int k = 0; k < 3; ++k) {
            const auto it = index.find(f->verts[k]);
            fb[3 * j + k] = it == index.end() ? -1 : it->second;
        }
        ++j;
    });
    verts = vb;
    face_verts = fb;
    return 1;
}

int Chull3D::export_obj(const char* path) {
    std::FILE* f = std::fopen(path, "w");
    if (!f) return 0;
    std::unordered_map<const Chull3D_vertex*, int> index;
    int i = 0;
    list_walk(vertices, [&](Chull3D_vertex* v) {
        std::fprintf(f, "v %f %f %f\n", v->x, v->y, v->z);
        index.emplace(v, ++i);
    });
    list_walk(faces, [&](Chull3D_face* face) {
        int at[3];
        for (int k = 0; k < 3; ++k) {
            const auto it = index.find(face->verts[k]);
            at[k] = it == index.end() ? 0 : it->second;
        }
        std::fprintf(f, "f %d %d %d\n", at[0], at[1], at[2]);
    });
    return std::fclose(f);
}

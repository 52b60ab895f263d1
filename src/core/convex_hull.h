#pragma once
// Three-dimensional convex hull, built one point at a time. Vertices, edges and faces are records
// in circular, doubly linked lists owned by the hull; coordinates and arithmetic are single
// precision with no tolerance.
#include <vector>

class Chull3D;
struct Chull3D_edge;
struct Chull3D_face;

struct Chull3D_vertex {
    float x, y, z;
    Chull3D_edge* new_edge;  // the edge to the point being added, while it is added
    short on_hull;           // set while a clean-up finds an edge ending here
    short processed;         // taken up by the construction, on the hull or not
    Chull3D_vertex* prev;
    Chull3D_vertex* next;
    int edge_count;  // edges ending here

    Chull3D_vertex(float x, float y, float z);
};

// An edge has no direction; either adjacent face may be missing while the hull grows.
struct Chull3D_edge {
    Chull3D_face* adj_face[2];
    Chull3D_vertex* end_pts[2];
    Chull3D_face* new_face;  // the cone face built on this edge during the current addition
    int removal;
    Chull3D_edge* prev;
    Chull3D_edge* next;
    unsigned long order;  // rises along the list: edges are only ever appended

    explicit Chull3D_edge(Chull3D& hull);  // appended to the hull's edges
    void set_ends(Chull3D_vertex* a, Chull3D_vertex* b);
};

// The vertices run counter-clockwise seen from outside, so (V1 - V0) x (V2 - V0) points out. The
// edges are the three sides in no particular order.
struct Chull3D_face {
    Chull3D_edge* edges[3];
    Chull3D_vertex* verts[3];
    int visible;
    Chull3D_face* prev;
    Chull3D_face* next;
    int slot;  // its row in the hull's corner table

    // On three vertices; with a fold face it shares that face's edges, seen from the other side.
    Chull3D_face(Chull3D& hull, Chull3D_vertex* v0, Chull3D_vertex* v1, Chull3D_vertex* v2, Chull3D_face* fold);
    // Joins an edge of the hull to the point being added.
    Chull3D_face(Chull3D& hull, Chull3D_edge* e, Chull3D_vertex* p);
    // Runs the cone face along e the way the visible face it replaces did.
    void make_ccw(Chull3D_edge* e, Chull3D_vertex* p);
};

class Chull3D {
public:
    // n points of x, y, z; a null array stops the program.
    Chull3D(const float* pts, int n);
    ~Chull3D();
    Chull3D(const Chull3D&) = delete;
    Chull3D& operator=(const Chull3D&) = delete;

    // Collinear points leave the hull without faces; coplanar ones give the first triangle found,
    // covered on both sides.
    void compute();
    // x, y, z per vertex in list order and three vertex indices per face, both taken with xmalloc
    // for the caller to xfree. 0, with both counts 0, when memory runs out.
    int get_convex_hull(float*& verts, int& n_verts, int*& face_verts, int& n_faces);
    // A Wavefront OBJ file: 0 when it cannot be opened, else what closing it gives (0 when written).
    int export_obj(const char* path);

    int get_n_vertices() const;
    int get_n_faces() const;
    int get_vertex_index(const Chull3D_vertex* v) const;  // from the head, from 0; -1 when absent

    void add_vertex(Chull3D_vertex* v);
    void add_edge(Chull3D_edge* e);
    void add_face(Chull3D_face* f);
    void delete_vertex(Chull3D_vertex* v);
    void delete_edge(Chull3D_edge* e);
    void delete_face(Chull3D_face* f);

    bool are_collinear(const Chull3D_vertex* a, const Chull3D_vertex* b, const Chull3D_vertex* c) const;
    // +1 when p lies on the inner side of f, -1 when f is visible from p, 0 on its plane.
    int volume_sign(const Chull3D_face* f, const Chull3D_vertex* p) const;
    // The first triangle and a point off its plane; 1 when every point is collinear or coplanar.
    int double_triangle();
    // 1 when p lay outside and the cone to it was built.
    int add_one(Chull3D_vertex* p);
    int construct_hull();
    // After an addition; next is the construction's next vertex, moved on when it is removed.
    void clean_up(Chull3D_vertex*& next);
    // Within an addition these look only at what it touched: the faces it saw, their edges and
    // corners, and the point itself; nothing else can have changed.
    void clean_edges();
    void clean_faces();
    void clean_vertices(Chull3D_vertex*& next);

    Chull3D_vertex* vertices = nullptr;
    Chull3D_edge* edges = nullptr;
    Chull3D_face* faces = nullptr;

private:
    // The faces' corners, one array per coordinate, so that every face is tested against a new
    // point over plain memory; rows are in no particular order.
    std::vector<float> corner_[9];
    std::vector<Chull3D_face*> table_faces_;
    unsigned long next_edge_order_ = 0;

    // What the current addition touched; empty between additions.
    std::vector<Chull3D_face*> seen_;
    std::vector<Chull3D_edge*> seen_edges_;   // the edges of the faces seen, in list order
    std::vector<Chull3D_vertex*> touched_;    // their corners and the point added
    bool adding_ = false;                     // from add_one to the end of its clean-up
};

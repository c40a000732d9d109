/* The reference combat scene rendered by Mesa's software rasteriser through OSMesa:
   the peer of bench/softrend_bench.cpp, which builds this program where OSMesa is
   found and runs it with LP_NUM_THREADS=0 (single-threaded llvmpipe) and with
   GALLIUM_DRIVER=softpipe. Kept as the peer was given, so both sides draw the
   same scene, with one change: frames are timed in the process's CPU time, as
   the benchmark times its own, so that a busy machine slows neither figure. */
/* Peer benchmark: the reference "combat scene" rendered by Mesa's software rasteriser through OSMesa.
   640x480, 16-bit depth, fixed-function GL 1.x: Gouraud lighting (ambient + 2 directional lights),
   nearest-sampled 64x64 textures, back-face culling. Scene: 20 ships (ellipsoids, ~1000 triangles each)
   and one planet sphere (~2000 triangles), ships turning a little each frame.
   Build: cc -O2 osmesa_scene.c -lOSMesa -lGL -lm -o osmesa_scene
   Run:   LP_NUM_THREADS=0 ./osmesa_scene [frames] [rgb565]   (GALLIUM_DRIVER=softpipe for the plain reference) */
#include <GL/osmesa.h>
#include <GL/gl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define W 640
#define H 480

typedef struct { float *v, *n, *t; int nv; unsigned *idx; int ni; } Mesh;

static Mesh ellipsoid(int slices, int stacks, float rx, float ry, float rz) {
  Mesh m; m.nv = (slices + 1) * (stacks + 1);
  m.v = malloc(sizeof(float) * 3 * m.nv); m.n = malloc(sizeof(float) * 3 * m.nv); m.t = malloc(sizeof(float) * 2 * m.nv);
  int k = 0;
  for (int j = 0; j <= stacks; j++) for (int i = 0; i <= slices; i++, k++) {
    float th = (float)M_PI * j / stacks, ph = 2.f * (float)M_PI * i / slices;
    float x = sinf(th) * cosf(ph), y = cosf(th), z = sinf(th) * sinf(ph);
    m.v[3*k] = rx * x; m.v[3*k+1] = ry * y; m.v[3*k+2] = rz * z;
    float nx = x / rx, ny = y / ry, nz = z / rz, l = sqrtf(nx*nx + ny*ny + nz*nz); if (l == 0) l = 1;
    m.n[3*k] = nx / l; m.n[3*k+1] = ny / l; m.n[3*k+2] = nz / l;
    m.t[2*k] = (float)i / slices; m.t[2*k+1] = (float)j / stacks;
  }
  m.ni = slices * stacks * 6; m.idx = malloc(sizeof(unsigned) * m.ni); k = 0;
  for (int j = 0; j < stacks; j++) for (int i = 0; i < slices; i++) {
    unsigned a = j * (slices + 1) + i, b = a + slices + 1;
    m.idx[k++] = a; m.idx[k++] = a + 1; m.idx[k++] = b;
    m.idx[k++] = b; m.idx[k++] = a + 1; m.idx[k++] = b + 1;
  }
  return m;
}

static void draw(const Mesh *m) {
  glVertexPointer(3, GL_FLOAT, 0, m->v); glNormalPointer(GL_FLOAT, 0, m->n); glTexCoordPointer(2, GL_FLOAT, 0, m->t);
  glDrawElements(GL_TRIANGLES, m->ni, GL_UNSIGNED_INT, m->idx);
}

static double now(void) { struct timespec t; clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t); return t.tv_sec + t.tv_nsec * 1e-9; }
static int cmpd(const void *a, const void *b) { double x = *(const double *)a, y = *(const double *)b; return (x > y) - (x < y); }

int main(int argc, char **argv) {
  int frames = argc > 1 ? atoi(argv[1]) : 200;
  int rgb565 = argc > 2 && strcmp(argv[2], "rgb565") == 0;
  int ships = argc > 3 ? atoi(argv[3]) : 20;
  if (ships < 0 || ships > 80) ships = 20;
  OSMesaContext ctx = OSMesaCreateContextExt(rgb565 ? OSMESA_RGB_565 : OSMESA_RGBA, 16, 0, 0, NULL);
  if (!ctx) { fprintf(stderr, "no OSMesa context\n"); return 1; }
  void *buf = calloc(W * H, 4);
  if (!OSMesaMakeCurrent(ctx, buf, rgb565 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE, W, H)) { fprintf(stderr, "MakeCurrent failed\n"); return 1; }
  Mesh ship = ellipsoid(32, 16, 60, 18, 25);   /* 1024 triangles */
  Mesh planet = ellipsoid(45, 22, 400, 400, 400); /* 1980 triangles */
  unsigned char tex[64 * 64 * 3];
  for (int i = 0; i < 64 * 64; i++) { int x = i % 64, y = i / 64; unsigned char c = ((x / 8 + y / 8) & 1) ? 200 : 90; tex[3*i] = c; tex[3*i+1] = c - 40; tex[3*i+2] = 60; }
  GLuint t; glGenTextures(1, &t); glBindTexture(GL_TEXTURE_2D, t);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST); glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 64, 64, 0, GL_RGB, GL_UNSIGNED_BYTE, tex);
  glEnable(GL_TEXTURE_2D); glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glEnable(GL_DEPTH_TEST); glDepthFunc(GL_LESS); glEnable(GL_CULL_FACE); glDisable(GL_DITHER); glShadeModel(GL_SMOOTH);
  glEnable(GL_LIGHTING); glEnable(GL_LIGHT0); glEnable(GL_LIGHT1);
  GLfloat amb[] = {0.2f, 0.2f, 0.2f, 1}, d0[] = {0.8f, 0.8f, 0.7f, 1}, p0[] = {0.5f, 0.6f, 0.6f, 0}, d1[] = {0.3f, 0.3f, 0.5f, 1}, p1[] = {-0.7f, -0.2f, 0.3f, 0};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb); glLightfv(GL_LIGHT0, GL_DIFFUSE, d0); glLightfv(GL_LIGHT0, GL_POSITION, p0);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, d1); glLightfv(GL_LIGHT1, GL_POSITION, p1);
  glEnableClientState(GL_VERTEX_ARRAY); glEnableClientState(GL_NORMAL_ARRAY); glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glViewport(0, 0, W, H); glMatrixMode(GL_PROJECTION); glLoadIdentity();
  double fov = 45.0 * M_PI / 180.0, n = 10, f = 20000, top = n * tan(fov / 2), right = top * W / H;
  glFrustum(-right, right, -top, top, n, f);
  double *ms = malloc(sizeof(double) * frames);
  for (int fr = -10; fr < frames; fr++) {
    double t0 = now();
    glClearColor(0, 0, 0.05f, 1); glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW); glLoadIdentity();
    glPushMatrix(); glTranslatef(350, -150, -1600); glRotatef(fr * 0.2f, 0, 1, 0); draw(&planet); glPopMatrix();
    for (int s = 0; s < ships; s++) {
      float x = -500 + (s % 5) * 250, y = -200 + (s / 5) * 130, z = -500 - (s % 7) * 90;
      glPushMatrix(); glTranslatef(x, y, z); glRotatef(fr * 1.5f + s * 17, 0.3f, 1, 0.1f); draw(&ship); glPopMatrix();
    }
    glFinish();
    if (fr >= 0) ms[fr] = (now() - t0) * 1e3;
  }
  qsort(ms, frames, sizeof(double), cmpd);
  /* coverage: fraction of pixels not the clear colour */
  long covered = 0;
  if (!rgb565) { unsigned char *p = buf; for (int i = 0; i < W * H; i++) covered += p[4*i] || p[4*i+1] || p[4*i+2] > 13; }
  printf("osmesa %s %s: median %.3f ms/frame, p95 %.3f ms, triangles/frame %d, covered %.0f%%\n",
         rgb565 ? "rgb565" : "rgba8", getenv("GALLIUM_DRIVER") ? getenv("GALLIUM_DRIVER") : "default",
         ms[frames / 2], ms[frames * 95 / 100], ship.ni / 3 * ships + planet.ni / 3, rgb565 ? -1.0 : 100.0 * covered / (W * H));
  OSMesaDestroyContext(ctx);
  return 0;
}

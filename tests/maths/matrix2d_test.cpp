// Tests of the framework's affine 2D matrices.
#include "framework/hx_math.h"
#include "tests/maths/hx_expect.h"

#include <gtest/gtest.h>

namespace {

constexpr float kEps = 1e-5f;

hx_matrix23 Mul(const hx_matrix23& a, const hx_matrix23& b)
{
    hx_matrix23 r;
    return *HxMatrix23Mul(&r, &a, &b);
}

hx_matrix23 Identity()
{
    hx_matrix23 r;
    return *HxMatrix23Identity(&r);
}

hx_matrix23 Sample(float seed)
{
    hx_matrix23 m;
    for (int i = 0; i < 6; ++i) m.m[i / 2][i % 2] = SampleValue(seed, i);
    return m;
}

TEST(Matrix23, BuildersMovePoints)
{
    hx_matrix23 m;
    hx_vector2 out;
    const hx_vector2 x{1, 0}, y{0, 1}, p{2, 3};
    HxMatrix23ApplyP(&out, &x, HxMatrix23Rotate(&m, 16384));
    EXPECT_NEAR(out.x, 0, kEps);
    EXPECT_NEAR(out.y, 1, kEps);
    HxMatrix23ApplyP(&out, &p, HxMatrix23Translate(&m, 5, -1));
    EXPECT_EQ(out.x, 7);
    EXPECT_EQ(out.y, 2);
    HxMatrix23ApplyV(&out, &p, &m); // vectors ignore the translation
    EXPECT_EQ(out.x, 2);
    EXPECT_EQ(out.y, 3);
    HxMatrix23ApplyP(&out, &p, HxMatrix23Scale(&m, 2, -1));
    EXPECT_EQ(out.x, 4);
    EXPECT_EQ(out.y, -3);
    HxMatrix23ApplyP(&out, &x, HxMatrix23ShearX(&m, 4));
    EXPECT_EQ(out.y, 4); // y += 4 x
    HxMatrix23ApplyP(&out, &y, HxMatrix23ShearY(&m, 4));
    EXPECT_EQ(out.x, 4); // x += 4 y
    // Products apply the first factor first; the translation of the first
    // goes through the second's linear part.
    hx_matrix23 t, s;
    HxMatrix23Translate(&t, 1, 2);
    HxMatrix23Scale(&s, 3, 3);
    const hx_matrix23 ts = Mul(t, s);
    EXPECT_EQ(ts.m[2][0], 3);
    EXPECT_EQ(ts.m[2][1], 6);
}

TEST(Matrix23, Inverse)
{
    const hx_matrix23 mirror = {{{-1, 0}, {0, 1}, {0, 0}}};
    hx_matrix23 inv;
    EXPECT_EQ(HxMatrix23Inverse(&inv, &mirror), -1.0f);
    ExpectNear23(inv, mirror, 0);

    const hx_matrix23 m = Sample(0.5f);
    const hx_scalar det = HxMatrix23Inverse(&inv, &m);
    EXPECT_NEAR(det, m.m[0][0] * m.m[1][1] - m.m[0][1] * m.m[1][0], kEps);
    ExpectNear23(Mul(m, inv), Identity(), 1e-4f);
    ExpectNear23(Mul(inv, m), Identity(), 1e-4f);

    for (const hx_matrix23& singular : {hx_matrix23{{{0, 0}, {0, 0}, {0, 0}}},
                                        hx_matrix23{{{1, 2}, {2, 4}, {5, 5}}},
                                        hx_matrix23{{{1e-4f, 0}, {0, 1e-4f}, {0, 0}}}}) {
        hx_matrix23 dst = {{{7, 7}, {7, 7}, {7, 7}}};
        EXPECT_EQ(HxMatrix23Inverse(&dst, &singular), 0.0f);
        ExpectNear23(dst, hx_matrix23{{{7, 7}, {7, 7}, {7, 7}}}, 0);
    }

    // Determinant 1: the short form gives the same inverse.
    hx_matrix23 r, lp;
    HxMatrix23Rotate(&r, 12345);
    HxMatrix23PostTranslate(&r, 4, -2);
    HxMatrix23Inverse(&inv, &r);
    ExpectNear23(*HxMatrix23LPInverse(&lp, &r), inv, kEps);
}

TEST(Matrix23, NormaliseAndTransposedApply)
{
    const hx_matrix23 m = {{{5, 5}, {0, 3}, {7, 8}}};
    hx_matrix23 n;
    HxMatrix23LPNormalise(&n, &m);
    ExpectNear23(n, hx_matrix23{{{1, 0}, {0, 1}, {7, 8}}}, 0);
    const hx_matrix23 flat = {{{0, 0}, {0, 0}, {1, 1}}};
    ExpectNear23(*HxMatrix23LPNormalise(&n, &flat), hx_matrix23{{{0, -1}, {1, 0}, {1, 1}}}, 0);

    hx_matrix23 r;
    HxMatrix23Rotate(&r, 5000);
    HxMatrix23PostTranslate(&r, 9, 9);
    const hx_vector2 v{3, -4};
    hx_vector2 a, b;
    HxMatrix23ApplyV(&a, &v, &r);
    HxMatrix23TApplyV(&b, &a, &r);
    EXPECT_NEAR(b.x, 3, kEps);
    EXPECT_NEAR(b.y, -4, kEps);
    HxMatrix23TApplyP(&b, &a, &r); // the same: no translation
    EXPECT_NEAR(b.x, 3, kEps);
}

TEST(Matrix23, PreAndPost)
{
    hx_matrix23 rot;
    HxMatrix23Rotate(&rot, 16384);
    hx_matrix23 m = rot;
    HxMatrix23PostTranslate(&m, 2, 3);
    ExpectNear23(m, hx_matrix23{{{rot.m[0][0], rot.m[0][1]}, {rot.m[1][0], rot.m[1][1]}, {2, 3}}}, 0);

    struct Op {
        const char* name;
        void (*build)(hx_matrix23*);
        void (*pre)(hx_matrix23*);
        void (*post)(hx_matrix23*);
    };
    const Op ops[] = {
        {"Rotate", [](hx_matrix23* f) { HxMatrix23Rotate(f, 3000); }, [](hx_matrix23* m) { HxMatrix23PreRotate(m, 3000); }, [](hx_matrix23* m) { HxMatrix23PostRotate(m, 3000); }},
        {"Translate", [](hx_matrix23* f) { HxMatrix23Translate(f, 2, -5); }, [](hx_matrix23* m) { HxMatrix23PreTranslate(m, 2, -5); }, [](hx_matrix23* m) { HxMatrix23PostTranslate(m, 2, -5); }},
        {"Scale", [](hx_matrix23* f) { HxMatrix23Scale(f, 2, 0.5f); }, [](hx_matrix23* m) { HxMatrix23PreScale(m, 2, 0.5f); }, [](hx_matrix23* m) { HxMatrix23PostScale(m, 2, 0.5f); }},
        {"ShearX", [](hx_matrix23* f) { HxMatrix23ShearX(f, 3); }, [](hx_matrix23* m) { HxMatrix23PreShearX(m, 3); }, [](hx_matrix23* m) { HxMatrix23PostShearX(m, 3); }},
        {"ShearY", [](hx_matrix23* f) { HxMatrix23ShearY(f, 3); }, [](hx_matrix23* m) { HxMatrix23PreShearY(m, 3); }, [](hx_matrix23* m) { HxMatrix23PostShearY(m, 3); }},
    };
    const hx_matrix23 base = Sample(1.3f);
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        hx_matrix23 f, mm = base;
        op.build(&f);
        op.pre(&mm);
        ExpectNear23(mm, Mul(f, base), kEps);
        mm = base;
        op.post(&mm);
        ExpectNear23(mm, Mul(base, f), kEps);
    }
    const hx_matrix23 a = Sample(2.0f);
    hx_matrix23 mm = base, c;
    ExpectNear23(*HxMatrix23Pre(&mm, &a), Mul(a, base), 0);
    mm = base;
    ExpectNear23(*HxMatrix23Post(&mm, &a), Mul(base, a), 0);
    ExpectNear23(*HxMatrix23Copy(&c, &a), a, 0);
}

} // namespace

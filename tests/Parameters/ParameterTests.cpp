// Parameter<T>: its value source, kinds, flags and ownership.
#include "Parameters/Parameter.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace Brivet::Parameters;
using Brivet::Base::String;

static_assert(!std::is_copy_constructible_v<Parameter<float>>, "a parameter owns its value source");
static_assert(!std::is_copy_assignable_v<Parameter<String>>, "a parameter owns its value source");

// Float and the float vectors run consecutively: n components have code n + 1.
static_assert(uint32_t(ValueTraits<float>::Code) == 2 && uint32_t(ValueTraits<D3DXVECTOR4>::Code) == 5);
static_assert(ValueTraits<bool>::Code == Type::Bool && ValueTraits<int>::Code == Type::Int);
static_assert(ValueTraits<unsigned int>::Code == Type::UInt && ValueTraits<String>::Code == Type::String);

TEST(Parameter, FreshParameterHoldsItsDefaultEverywhere)
{
    Parameter<D3DXVECTOR2> parameter(D3DXVECTOR2(1.0f, -2.0f));
    EXPECT_EQ(parameter.GetValueKind(), ValueKind::Constant);
    EXPECT_TRUE(parameter.GetFlagA());
    EXPECT_FALSE(parameter.GetNotifyOnChange());
    EXPECT_EQ(parameter.GetSpline(), nullptr);
    for (float time : { -1.0f, 0.0f, 1000.0f })
    {
        const D3DXVECTOR2 value = parameter.GetValue(time);
        EXPECT_EQ(value.x, 1.0f);
        EXPECT_EQ(value.y, -2.0f);
        EXPECT_FALSE(parameter.IsAnimatedAt(time));
    }

    parameter.SetFlagA(false);
    parameter.SetNotifyOnChange(true);
    parameter.MakeSpline();
    EXPECT_FALSE(parameter.GetFlagA()); // switching the source leaves the flags alone
    EXPECT_TRUE(parameter.GetNotifyOnChange());
}

TEST(Parameter, MakeSplineAndMakeConstantDropTheOldValue)
{
    Parameter<D3DXVECTOR3> parameter(D3DXVECTOR3(1.0f, 2.0f, 3.0f));
    parameter.MakeSpline();
    EXPECT_EQ(parameter.GetValueKind(), ValueKind::Spline);
    ISpline* spline = parameter.GetSpline();
    ASSERT_NE(spline, nullptr);
    EXPECT_EQ(spline, static_cast<Spline<D3DXVECTOR3>*>(parameter.GetValueObject()));
    EXPECT_EQ(parameter.GetValue(0.0f).x, 0.0f);
    EXPECT_FALSE(parameter.IsAnimatedAt(0.0f));
    EXPECT_FALSE(parameter.SetValue(0.0f, D3DXVECTOR3(1.0f, 1.0f, 1.0f), 0.1f));

    spline->AddClip(0.0f, 10.0f);
    EXPECT_TRUE(parameter.SetValue(1.0f, D3DXVECTOR3(4.0f, 5.0f, 6.0f), 0.1f));
    EXPECT_TRUE(parameter.IsAnimatedAt(5.0f));
    EXPECT_EQ(parameter.GetValue(5.0f).z, 6.0f);

    parameter.MakeConstant();
    EXPECT_EQ(parameter.GetValueKind(), ValueKind::Constant);
    EXPECT_EQ(parameter.GetSpline(), nullptr);
    for (float time : { 0.0f, 5.0f, 20.0f })
    {
        const D3DXVECTOR3 value = parameter.GetValue(time);
        EXPECT_EQ(value.x, 0.0f);
        EXPECT_EQ(value.y, 0.0f);
        EXPECT_EQ(value.z, 0.0f);
        EXPECT_FALSE(parameter.IsAnimatedAt(time));
    }
}

TEST(Parameter, ConstantSetValueIgnoresTimeAndTolerance)
{
    Parameter<int> parameter(4);
    EXPECT_TRUE(parameter.SetValue(-3.0f, 9, -1.0f));
    EXPECT_EQ(parameter.GetValue(100.0f), 9);
    EXPECT_FALSE(parameter.IsAnimatedAt(-3.0f));
}

TEST(Parameter, StringValueIsACopy)
{
    Parameter<String> parameter(String("title"));
    String copy = parameter.GetValue(0.0f);
    copy.Append(String(" changed"));
    EXPECT_STREQ(parameter.GetValue(0.0f).GetText(), "title");

    Constant<String> constant(String("text"));
    String other = constant.GetValue(1.0f);
    other = String("else");
    EXPECT_STREQ(constant.GetValue(1.0f).GetText(), "text");
}

TEST(Parameter, EveryTypeHasItsZeroInAnEmptySpline)
{
    Parameter<bool> b(true);
    Parameter<int> i(5);
    Parameter<unsigned int> u(5u);
    Parameter<float> f(5.0f);
    Parameter<D3DXVECTOR4> v(D3DXVECTOR4(1.0f, 2.0f, 3.0f, 4.0f));
    Parameter<String> s(String("x"));
    b.MakeSpline();
    i.MakeSpline();
    u.MakeSpline();
    f.MakeSpline();
    v.MakeSpline();
    s.MakeSpline();
    EXPECT_FALSE(b.GetValue(0.0f));
    EXPECT_EQ(i.GetValue(0.0f), 0);
    EXPECT_EQ(u.GetValue(0.0f), 0u);
    EXPECT_EQ(f.GetValue(0.0f), 0.0f);
    const D3DXVECTOR4 zero = v.GetValue(0.0f);
    EXPECT_TRUE(zero.x == 0.0f && zero.y == 0.0f && zero.z == 0.0f && zero.w == 0.0f);
    EXPECT_EQ(s.GetValue(0.0f).GetLength(), 0u);
}

float Helper_ZeroNaN(float v)
{
    return isnan(v) ? 0.0 : v;
}

vec2 Helper_ZeroNaN(vec2 v)
{
    return mix(v, vec2(0.0), isnan(v));
}

vec3 Helper_ZeroNaN(vec3 v)
{
    return mix(v, vec3(0.0), isnan(v));
}

vec4 Helper_ZeroNaN(vec4 v)
{
    return mix(v, vec4(0.0), isnan(v));
}
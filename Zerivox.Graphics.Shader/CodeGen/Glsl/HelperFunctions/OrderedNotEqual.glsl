bool Helper_OrderedNotEqual(float x, float y)
{
    return x < y || x > y;
}
bool Helper_OrderedNotEqual(double x, double y)
{
    return x < y || x > y;
}
// A dense switch on a day number, with one case per value from 0 to 9: enough cases in
// a row for the compiler to jump through a table of addresses instead of comparing.
#include <stdio.h>

const char *dayName(int day)
{
    switch (day) {
    case 0:
        return "Sunday";
    case 1:
        return "Monday";
    case 2:
        return "Tuesday";
    case 3:
        return "Wednesday";
    case 4:
        return "Thursday";
    case 5:
        return "Friday";
    case 6:
        return "Saturday";
    case 7:
        return "Holiday";
    case 8:
        return "Exam day";
    case 9:
        return "Lab day";
    default:
        return "unknown";
    }
}

int points(int grade)
{
    int result = 0;
    switch (grade) {
    case 0:
        result = 10;
        break;
    case 1:
        result = 25;
        break;
    case 2:
        result = 33;
        break;
    case 3:
        result = 41;
        break;
    case 4:
        result = 57;
        break;
    case 5:
        result = 60;
        break;
    case 6:
        result = 78;
        break;
    case 7:
        puts("seven");
        result = 7;
        break;
    }
    return result;
}

int main(void)
{
    for (int day = 0; day < 11; day++) {
        printf("%d %s %d\n", day, dayName(day), points(day));
    }
    return 0;
}

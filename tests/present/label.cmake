# label tests
corvane_test(test_label SOURCES label/LabelTextTest.cpp label/LabelImageTest.cpp
             LIBS corvane_core QT)

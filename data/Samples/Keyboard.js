// 키보드로 숫자를 바꾸는 프로그램입니다.
// 위쪽 화살표는 1 더하기, 아래쪽 화살표는 1 빼기, 스페이스는 0으로 돌아갑니다.

var value = 0;

// Run 버턴을 클릭하면 한 번만 실행 됩니다.
function setup() {
    Screen.Caption = "Value: 0";
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
    if (Keyboard.IsUp) {
        value = value + 1;
    }
    if (Keyboard.IsDown) {
        value = value - 1;
    }
    if (Keyboard.IsFire) {
        value = 0;
    }
    Screen.Caption = "Value: " + value;

    // 0.1초 동안 기다립니다.
    delay(100);
}

// 처음 만나는 프로그램입니다. Run 버턴을 눌러 보세요.
// 메시지는 아래쪽 메시지 창에 나타납니다.

var count = 0;

// Run 버턴을 클릭하면 한 번만 실행 됩니다.
function setup() {
    console.log("안녕하세요, Kitebench!");
    Screen.Caption = "Hello";
}

// Run 버턴을 클릭하면 setup() 실행 이후 계속 반복 실행 됩니다.
function loop() {
    count = count + 1;
    Screen.Caption = "Hello " + count;

    // 1초 동안 기다립니다.
    delay(1000);
}

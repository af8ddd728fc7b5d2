// 기본 예제: 화면에 메시지를 보냅니다.
function setup() {
    console.log("Hello, Kitebench!");
}

function loop() {
    delay(1000);
}
